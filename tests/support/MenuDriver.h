// Reads and closes the popup menus the program under test shows, like a user looking at a menu and pressing
// Escape: a thread watches for menu windows ("#32768") of this process, records their items and closes them.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct MenuItemSeen
{
    UINT id;
    std::wstring text;
    bool grayed;
};

class MenuDriver
{
public:
    MenuDriver();
    MenuDriver(const MenuDriver&) = delete;
    MenuDriver& operator=(const MenuDriver&) = delete;
    ~MenuDriver();

    // The items of each menu seen so far, in order.
    std::vector<std::vector<MenuItemSeen>> Seen();
    size_t Count();

private:
    void Watch();

    std::mutex lock;
    std::vector<std::vector<MenuItemSeen>> menus;
    std::vector<HWND> closed;
    std::atomic<bool> stopping{false};
    std::thread watcher;
};
