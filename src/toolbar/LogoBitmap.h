// The logo's bitmap (resource 123), loaded once per process on first use and drawn by the logo button of
// every toolbar in the process, rather than a copy per tab. A bitmap can be selected into one device context
// at a time, and tabs paint on threads of their own, so the drawing is serialized.
#pragma once

#include <windows.h>

// The bitmap, or null when it cannot be loaded (a later call tries again). Owned here: never delete it.
[[nodiscard]] HBITMAP LogoBitmap() noexcept;

// DrawStateW(DST_BITMAP) of the logo under the lock that keeps two threads from drawing it at once.
void DrawLogoBitmap(HDC dc, int x, int y, int width, int height, UINT flags) noexcept;

// Frees the bitmap at unload (ProcessObjects).
void ReleaseLogoBitmap() noexcept;
