// Answers the message boxes of the program under test like a user would: a thread watches for top-level
// dialog windows of this process with the given caption, reads each one's message text and presses a button.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class MessageBoxDriver
{
public:
    // `answers` are the button ids pressed, in order; the last one repeats for further boxes.
    explicit MessageBoxDriver(std::wstring caption, std::vector<int> answers = {IDOK});
    MessageBoxDriver(const MessageBoxDriver&) = delete;
    MessageBoxDriver& operator=(const MessageBoxDriver&) = delete;
    ~MessageBoxDriver();

    // Waits until `count` boxes were answered or the timeout passed; returns the texts seen so far.
    std::vector<std::wstring> WaitFor(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // The texts answered so far.
    std::vector<std::wstring> Seen();

private:
    void Watch();
    bool AnswerOne();

    std::wstring caption;
    std::vector<int> answers;
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::wstring> texts;
    std::vector<HWND> answered;
    std::atomic<bool> stopping{false};
    std::thread watcher;
};

// The message text of a message box (its static text control).
std::wstring MessageBoxText(HWND box);
// Finds a visible top-level window of this process by caption and window class (any class when null).
HWND FindProcessWindow(const std::wstring& caption, const wchar_t* windowClass = L"#32770");
