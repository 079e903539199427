// The visual-style entry points the logo button draws with, bound at run time from UxTheme.dll so the
// add-on also runs where the library is missing (then it draws the classic look).
#pragma once

#include <windows.h>

namespace theme
{
[[nodiscard]] bool IsAppThemed() noexcept;
[[nodiscard]] HANDLE OpenThemeData(HWND window, const wchar_t* classList) noexcept;
HRESULT DrawThemeParentBackground(HWND window, HDC dc, const RECT* rect) noexcept;
HRESULT DrawThemeBackground(HANDLE theme, HDC dc, int part, int state, const RECT* rect) noexcept;
HRESULT CloseThemeData(HANDLE theme) noexcept;
} // namespace theme

// Frees the library at unload (ProcessObjects).
void ReleaseThemeLibrary() noexcept;
