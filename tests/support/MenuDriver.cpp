#include "support/MenuDriver.h"

#include <algorithm>

namespace
{
struct Found
{
    const std::vector<HWND>* skip;
    HWND menu;
};

BOOL CALLBACK FindMenuWindow(HWND window, LPARAM parameter)
{
    auto& found = *reinterpret_cast<Found*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (process != GetCurrentProcessId() || wcscmp(name, L"#32768") != 0 || !IsWindowVisible(window))
        return TRUE;
    if (std::find(found.skip->begin(), found.skip->end(), window) != found.skip->end())
        return TRUE;
    found.menu = window;
    return FALSE;
}
} // namespace

MenuDriver::MenuDriver() : watcher([this] { Watch(); }) {}

MenuDriver::~MenuDriver()
{
    stopping = true;
    watcher.join();
}

std::vector<std::vector<MenuItemSeen>> MenuDriver::Seen()
{
    const std::lock_guard guard(lock);
    return menus;
}

size_t MenuDriver::Count()
{
    const std::lock_guard guard(lock);
    return menus.size();
}

void MenuDriver::Watch()
{
    while (!stopping)
    {
        std::vector<HWND> skip;
        {
            const std::lock_guard guard(lock);
            skip = closed;
        }
        Found found{&skip, nullptr};
        EnumWindows(FindMenuWindow, reinterpret_cast<LPARAM>(&found));
        if (!found.menu)
        {
            Sleep(20);
            continue;
        }
        DWORD_PTR result = 0;
        SendMessageTimeoutW(found.menu, MN_GETHMENU, 0, 0, SMTO_ABORTIFHUNG, 2000, &result);
        const auto menu = reinterpret_cast<HMENU>(result);
        std::vector<MenuItemSeen> items;
        const int count = menu ? GetMenuItemCount(menu) : 0;
        for (int i = 0; i < count; ++i)
        {
            wchar_t text[256] = {};
            GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
            const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
            items.push_back({GetMenuItemID(menu, i), text, (state & (MF_GRAYED | MF_DISABLED)) != 0});
        }
        {
            const std::lock_guard guard(lock);
            menus.push_back(std::move(items));
            closed.push_back(found.menu);
        }
        PostMessageW(found.menu, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageW(found.menu, WM_KEYUP, VK_ESCAPE, 0);
    }
}
