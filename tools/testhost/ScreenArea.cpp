// Reads the screen through the desktop's device context: on Wine's X11 driver that is the root window with
// its child windows included.
#include "ScreenArea.h"

#include <fstream>
#include <vector>

namespace screenarea
{
namespace
{

BOOL CALLBACK AddWindow(HWND window, LPARAM parameter)
{
    auto& area = *reinterpret_cast<RECT*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    RECT rect = {};
    if (process != GetCurrentProcessId() || !IsWindowVisible(window) || !GetWindowRect(window, &rect))
        return TRUE;
    UnionRect(&area, &area, &rect);
    return TRUE;
}

} // namespace

RECT ProcessWindowsArea()
{
    RECT area = {};
    EnumWindows(AddWindow, reinterpret_cast<LPARAM>(&area));
    const RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    IntersectRect(&area, &area, &screen);
    return area;
}

bool SaveScreenArea(const RECT& area, const std::wstring& path)
{
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return false;
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = height; // bottom-up rows, as a BMP file stores them
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    header.biSizeImage = stride * static_cast<DWORD>(height);

    HDC screen = GetDC(nullptr);
    if (!screen)
        return false;
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits,
                                      nullptr /* section */, 0);
    bool copied = false;
    if (memory && bitmap)
    {
        const HGDIOBJ previous = SelectObject(memory, bitmap);
        copied = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY) != FALSE;
        GdiFlush();
        SelectObject(memory, previous);
    }
    std::vector<char> pixels;
    if (copied)
        pixels.assign(static_cast<const char*>(bits), static_cast<const char*>(bits) + header.biSizeImage);
    if (bitmap)
        DeleteObject(bitmap);
    if (memory)
        DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!copied)
        return false;

    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = file.bfOffBits + header.biSizeImage;
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(&file), sizeof(file));
    out.write(reinterpret_cast<const char*>(&header), sizeof(header));
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    return static_cast<bool>(out);
}

} // namespace screenarea
