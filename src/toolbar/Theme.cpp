// UxTheme.dll is loaded on first use, inside the add-on's activation context, rather than at library load:
// loading libraries is best kept out of the loader lock. It is freed when the add-on unloads.
#include "toolbar/Theme.h"

#include <mutex>

#include "core/ActivationContext.h"

namespace
{
std::mutex themeLock;
HMODULE themeLibrary = nullptr;
bool themeTried = false;

template <class Fn> Fn Entry(const char* name) noexcept
{
    HMODULE library = nullptr;
    {
        const std::lock_guard guard(themeLock);
        if (!themeTried)
        {
            themeTried = true;
            const ActivationScope scope;
            themeLibrary = LoadLibraryW(L"UxTheme.dll");
        }
        library = themeLibrary;
    }
    return library ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name))) : nullptr;
}
} // namespace

namespace theme
{
bool IsAppThemed() noexcept
{
    const auto fn = Entry<BOOL(WINAPI*)()>("IsAppThemed");
    return fn && fn();
}

HANDLE OpenThemeData(HWND window, const wchar_t* classList) noexcept
{
    const auto fn = Entry<HANDLE(WINAPI*)(HWND, LPCWSTR)>("OpenThemeData");
    return fn ? fn(window, classList) : nullptr;
}

HRESULT DrawThemeParentBackground(HWND window, HDC dc, const RECT* rect) noexcept
{
    const auto fn = Entry<HRESULT(WINAPI*)(HWND, HDC, const RECT*)>("DrawThemeParentBackground");
    return fn ? fn(window, dc, rect) : E_FAIL;
}

HRESULT DrawThemeBackground(HANDLE handle, HDC dc, int part, int state, const RECT* rect) noexcept
{
    const auto fn = Entry<HRESULT(WINAPI*)(HANDLE, HDC, int, int, const RECT*, const RECT*)>("DrawThemeBackground");
    return fn ? fn(handle, dc, part, state, rect, nullptr) : E_FAIL;
}

HRESULT CloseThemeData(HANDLE handle) noexcept
{
    const auto fn = Entry<HRESULT(WINAPI*)(HANDLE)>("CloseThemeData");
    return fn ? fn(handle) : E_FAIL;
}
} // namespace theme

void ReleaseThemeLibrary() noexcept
{
    const std::lock_guard guard(themeLock);
    if (themeLibrary)
        FreeLibrary(themeLibrary);
    themeLibrary = nullptr;
    themeTried = false;
}
