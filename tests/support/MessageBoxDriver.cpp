#include "support/MessageBoxDriver.h"

#include <algorithm>

namespace
{
struct Search
{
    const std::wstring* caption;
    const wchar_t* windowClass;
    const std::vector<HWND>* skip;
    HWND found;
};

std::wstring WindowText(HWND window)
{
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(std::max(length, 0)) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<size_t>(std::max(copied, 0)));
    return text;
}

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter)
{
    auto& search = *reinterpret_cast<Search*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window))
        return TRUE;
    if (search.skip && std::find(search.skip->begin(), search.skip->end(), window) != search.skip->end())
        return TRUE;
    if (search.windowClass)
    {
        wchar_t className[64] = {};
        GetClassNameW(window, className, 64);
        if (wcscmp(className, search.windowClass) != 0)
            return TRUE;
    }
    if (WindowText(window) != *search.caption)
        return TRUE;
    search.found = window;
    return FALSE;
}

BOOL CALLBACK CollectStatic(HWND child, LPARAM parameter)
{
    auto& best = *reinterpret_cast<std::wstring*>(parameter);
    wchar_t className[32] = {};
    GetClassNameW(child, className, 32);
    if (_wcsicmp(className, L"Static") == 0)
    {
        std::wstring text = WindowText(child);
        if (text.size() > best.size())
            best = std::move(text);
    }
    return TRUE;
}
} // namespace

std::wstring MessageBoxText(HWND box)
{
    // Windows and Wine both give the text control id 0xFFFF; fall back to the longest static text.
    if (const HWND text = GetDlgItem(box, 0xFFFF))
        return WindowText(text);
    std::wstring best;
    EnumChildWindows(box, CollectStatic, reinterpret_cast<LPARAM>(&best));
    return best;
}

HWND FindProcessWindow(const std::wstring& caption, const wchar_t* windowClass)
{
    Search search{&caption, windowClass, nullptr, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

MessageBoxDriver::MessageBoxDriver(std::wstring boxCaption, std::vector<int> boxAnswers)
    : caption(std::move(boxCaption)), answers(std::move(boxAnswers)), watcher([this] { Watch(); })
{
}

MessageBoxDriver::~MessageBoxDriver()
{
    stopping = true;
    watcher.join();
}

std::vector<std::wstring> MessageBoxDriver::WaitFor(size_t count, std::chrono::milliseconds timeout)
{
    std::unique_lock guard(lock);
    changed.wait_for(guard, timeout, [&] { return texts.size() >= count; });
    return texts;
}

std::vector<std::wstring> MessageBoxDriver::Seen()
{
    const std::lock_guard guard(lock);
    return texts;
}

void MessageBoxDriver::Watch()
{
    while (!stopping)
    {
        if (!AnswerOne())
            Sleep(20);
    }
}

bool MessageBoxDriver::AnswerOne()
{
    std::vector<HWND> skip;
    {
        const std::lock_guard guard(lock);
        skip = answered;
    }
    Search search{&caption, L"#32770", &skip, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    if (!search.found)
        return false;
    const std::wstring text = MessageBoxText(search.found);
    int button;
    {
        const std::lock_guard guard(lock);
        button = answers.empty() ? IDOK : answers[std::min(texts.size(), answers.size() - 1)];
        texts.push_back(text);
        answered.push_back(search.found);
    }
    PostMessageW(search.found, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(search.found, button)));
    changed.notify_all();
    return true;
}
