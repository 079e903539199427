#include "toolbar/LogoBitmap.h"

#include <mutex>

#include "module/Module.h"
#include "resources/resource.h"

namespace
{
std::mutex logoLock; // guards the handle and every drawing of the bitmap
HBITMAP logo = nullptr;

HBITMAP LoadedLogo() noexcept
{
    if (!logo)
        logo = static_cast<HBITMAP>(
            LoadImageW(ModuleInstance(), MAKEINTRESOURCEW(IDB_LOGO), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    return logo;
}
} // namespace

HBITMAP LogoBitmap() noexcept
try
{
    const std::lock_guard guard(logoLock);
    return LoadedLogo();
}
catch (...)
{
    return nullptr; // the lock could not be taken
}

void DrawLogoBitmap(HDC dc, int x, int y, int width, int height, UINT flags) noexcept
try
{
    const std::lock_guard guard(logoLock);
    if (const HBITMAP bitmap = LoadedLogo())
        DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(bitmap), 0, x, y, width, height, flags);
}
catch (...)
{
    // The lock could not be taken: the logo is left undrawn this time.
}

void ReleaseLogoBitmap() noexcept
try
{
    const std::lock_guard guard(logoLock);
    if (logo)
        DeleteObject(logo);
    logo = nullptr;
}
catch (...)
{
}
