// The user's side of the tool: window messages sent or posted to the host thread's windows.
#include "UserActions.h"

#include <commctrl.h>

namespace useractions
{
namespace
{

constexpr wchar_t kMenuClass[] = L"#32768";
constexpr wchar_t kDialogClass[] = L"#32770";
constexpr int kMessageBoxTextId = 0xFFFF; // the static text control of a message box

struct Search
{
    const wchar_t* windowClass;
    const std::wstring* caption;
    HWND found;
};

std::wstring WindowText(HWND window)
{
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter)
{
    auto& search = *reinterpret_cast<Search*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    if (process != GetCurrentProcessId() || lstrcmpW(name, search.windowClass) != 0 || !IsWindowVisible(window))
        return TRUE;
    if (!search.caption->empty() && WindowText(window) != *search.caption)
        return TRUE;
    search.found = window;
    return FALSE;
}

} // namespace

bool Poll(const std::function<bool()>& condition, DWORD timeoutMilliseconds)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMilliseconds;
    for (;;)
    {
        if (condition())
            return true;
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(25);
    }
}

HWND FindProcessWindow(const wchar_t* windowClass, const std::wstring& caption)
{
    Search search{windowClass, &caption, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForProcessWindow(const wchar_t* windowClass, const std::wstring& caption, DWORD timeoutMilliseconds)
{
    HWND window = nullptr;
    Poll([&] { return (window = FindProcessWindow(windowClass, caption)) != nullptr; }, timeoutMilliseconds);
    return window;
}

bool WaitUntilGone(HWND window, DWORD timeoutMilliseconds)
{
    return Poll([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeoutMilliseconds);
}

std::wstring MessageText(HWND box)
{
    const HWND text = GetDlgItem(box, kMessageBoxTextId);
    return text ? WindowText(text) : std::wstring();
}

bool TypeIntoDialog(HWND dialog, int controlId, const std::wstring& text)
{
    const HWND control = GetDlgItem(dialog, controlId);
    if (!control)
        return false;
    SendMessageW(control, EM_SETSEL, 0, -1); // what is typed replaces what was there
    for (const wchar_t letter : text)
        SendMessageW(control, WM_CHAR, letter, 1);
    return true;
}

bool PressDialogButton(HWND dialog, int controlId)
{
    const HWND button = GetDlgItem(dialog, controlId);
    if (!button)
        return false;
    // Posted: the dialog's answer to the click may take a while (a request to the service) or open another
    // modal window, and the user does not wait inside the click.
    return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED), reinterpret_cast<LPARAM>(button)) !=
           FALSE;
}

bool ClickToolbarButton(HWND toolbar, int commandId)
{
    RECT rect = {};
    if (!SendMessageW(toolbar, TB_GETRECT, static_cast<WPARAM>(commandId), reinterpret_cast<LPARAM>(&rect)))
        return false;
    // The mouse meets whatever lies on top there: a control laid over the slot (the logo, the search box) or
    // the toolbar itself (also for a button past the window's right edge).
    POINT point = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    HWND target = ChildWindowFromPointEx(toolbar, point, CWP_SKIPINVISIBLE);
    target = target ? target : toolbar;
    MapWindowPoints(toolbar, target, &point, 1);
    const LPARAM at = MAKELPARAM(point.x, point.y);
    PostMessageW(target, WM_MOUSEMOVE, 0, at);
    PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(target, WM_LBUTTONUP, 0, at);
    return true;
}

std::wstring ToolbarButtonText(HWND toolbar, int commandId)
{
    wchar_t text[128] = {};
    TBBUTTONINFOW info = {};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_TEXT;
    info.pszText = text;
    info.cchText = 128;
    SendMessageW(toolbar, TB_GETBUTTONINFOW, static_cast<WPARAM>(commandId), reinterpret_cast<LPARAM>(&info));
    return text;
}

std::vector<MenuLine> MenuLines(HWND menuWindow)
{
    // Not SMTO_ABORTIFHUNG: a thread that was busy for seconds before it opened the menu (a slow answer of the
    // service) counts as hung until its menu loop has run.
    DWORD_PTR result = 0;
    SendMessageTimeoutW(menuWindow, MN_GETHMENU, 0, 0, SMTO_NORMAL, 2000, &result);
    const auto menu = reinterpret_cast<HMENU>(result);
    std::vector<MenuLine> lines;
    const int count = menu ? GetMenuItemCount(menu) : 0;
    for (int index = 0; index < count; ++index)
    {
        const auto position = static_cast<UINT>(index);
        wchar_t text[256] = {};
        GetMenuStringW(menu, position, text, 256, MF_BYPOSITION);
        const UINT state = GetMenuState(menu, position, MF_BYPOSITION);
        lines.push_back({GetMenuItemID(menu, index), text, (state & (MF_GRAYED | MF_DISABLED)) != 0});
    }
    return lines;
}

void CloseMenu(HWND menuWindow)
{
    PostMessageW(menuWindow, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageW(menuWindow, WM_KEYUP, VK_ESCAPE, 0);
}

std::vector<std::wstring> CloseLeftovers(DWORD timeoutMilliseconds)
{
    std::vector<std::wstring> closed;
    Poll(
        [&]
        {
            if (const HWND menu = FindProcessWindow(kMenuClass))
            {
                closed.push_back(L"menu");
                CloseMenu(menu);
                WaitUntilGone(menu, 1000);
                return false;
            }
            if (const HWND dialog = FindProcessWindow(kDialogClass))
            {
                std::wstring line = L"window \"" + WindowText(dialog) + L"\"";
                if (GetDlgItem(dialog, kMessageBoxTextId))
                    line += L": " + MessageText(dialog);
                closed.push_back(line);
                PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
                PostMessageW(dialog, WM_CLOSE, 0, 0);
                if (!WaitUntilGone(dialog, 1000))
                    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), 0);
                return false;
            }
            return true;
        },
        timeoutMilliseconds);
    return closed;
}

} // namespace useractions
