// Screenshots of test windows: the client area of a window (its child windows included) as it is on the
// screen, saved as a 24-bit BMP, or as a PNG when the path ends in ".png". Use a visible window (a
// TestBrowserHost made with HostOptions::visible); a hidden one is only asked to print itself.
#pragma once

#include <windows.h>

#include <string>

namespace testhost
{

// Returns false when the window has no client area, cannot be read, or the file cannot be written.
bool SaveWindowBitmap(HWND window, const std::wstring& path);

} // namespace testhost
