// Screenshots of what a user sees of this program: the part of the screen covered by its visible top-level
// windows (the browser window and any dialog, message box or menu over it), read back from the screen, so
// windows of other threads and the captions drawn around them are in the picture.
#pragma once

#include <windows.h>

#include <string>

namespace screenarea
{

// The smallest rectangle holding every visible top-level window of this process, cut to the screen; empty
// when there is none.
RECT ProcessWindowsArea();

// Saves that part of the screen as a 24-bit BMP. Returns false when it is empty, cannot be read, or the file
// cannot be written.
bool SaveScreenArea(const RECT& area, const std::wstring& path);

} // namespace screenarea
