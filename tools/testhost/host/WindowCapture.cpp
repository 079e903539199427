// Window screenshots for the test host: the pixels are read back from the window's screen DC (on Wine that
// includes child windows, which share their top-level window's surface) and written without any codec
// library: BMP as is, PNG with uncompressed ("stored") deflate blocks.
#include "host/WindowCapture.h"

#include <cstdint>
#include <fstream>
#include <vector>

namespace testhost
{
namespace
{

struct Pixels
{
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bgr; // top-down rows of width*3 bytes, no padding
};

bool ReadClientArea(HWND window, Pixels& pixels)
{
    RECT client = {};
    if (!IsWindow(window) || !GetClientRect(window, &client) || client.right <= 0 || client.bottom <= 0)
        return false;
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    pixels.width = client.right;
    pixels.height = client.bottom;

    HDC screen = GetDC(window);
    if (!screen)
        return false;
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = pixels.width;
    info.bmiHeader.biHeight = -pixels.height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr /* section */, 0);
    bool copied = false;
    if (memory && bitmap)
    {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        // A window that is not on the screen has nothing to read back; it is asked to paint itself instead
        // (WM_PRINT, which shows less: not every window class answers it, child windows included).
        if (IsWindowVisible(window))
            copied = BitBlt(memory, 0, 0, pixels.width, pixels.height, screen, 0, 0, SRCCOPY) != FALSE;
        else
            copied = PrintWindow(window, memory, PW_CLIENTONLY) != FALSE;
        GdiFlush();
        SelectObject(memory, previous);
    }
    if (copied)
    {
        const auto* source = static_cast<const std::uint8_t*>(bits);
        const std::size_t count = static_cast<std::size_t>(pixels.width) * static_cast<std::size_t>(pixels.height);
        pixels.bgr.resize(count * 3);
        for (std::size_t index = 0; index < count; ++index)
        {
            pixels.bgr[index * 3] = source[index * 4];
            pixels.bgr[index * 3 + 1] = source[index * 4 + 1];
            pixels.bgr[index * 3 + 2] = source[index * 4 + 2];
        }
    }
    if (bitmap)
        DeleteObject(bitmap);
    if (memory)
        DeleteDC(memory);
    ReleaseDC(window, screen);
    return copied;
}

void PutLittle(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes)
{
    for (int index = 0; index < bytes; ++index)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * index)));
}

void PutBig(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int index = 3; index >= 0; --index)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * index)));
}

std::vector<std::uint8_t> EncodeBmp(const Pixels& pixels)
{
    const std::uint32_t stride = (static_cast<std::uint32_t>(pixels.width) * 3 + 3) & ~3u;
    const std::uint32_t imageSize = stride * static_cast<std::uint32_t>(pixels.height);
    std::vector<std::uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    PutLittle(out, 54 + imageSize, 4);
    PutLittle(out, 0, 4);
    PutLittle(out, 54, 4);
    PutLittle(out, 40, 4);
    PutLittle(out, static_cast<std::uint32_t>(pixels.width), 4);
    PutLittle(out, static_cast<std::uint32_t>(pixels.height), 4); // positive: bottom-up rows
    PutLittle(out, 1, 2);
    PutLittle(out, 24, 2);
    PutLittle(out, BI_RGB, 4);
    PutLittle(out, imageSize, 4);
    PutLittle(out, 3780, 4); // 96 dpi
    PutLittle(out, 3780, 4);
    PutLittle(out, 0, 4);
    PutLittle(out, 0, 4);
    const std::size_t rowBytes = static_cast<std::size_t>(pixels.width) * 3;
    for (int row = pixels.height - 1; row >= 0; --row)
    {
        const auto begin = pixels.bgr.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(row) * rowBytes);
        out.insert(out.end(), begin, begin + static_cast<std::ptrdiff_t>(rowBytes));
        out.resize(out.size() + (stride - rowBytes), 0);
    }
    return out;
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t index = 0; index < size; ++index)
    {
        crc ^= data[index];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PutChunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& data)
{
    PutBig(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBig(out, Crc32(out.data() + start, out.size() - start));
}

std::vector<std::uint8_t> EncodePng(const Pixels& pixels)
{
    // Raw scanlines: filter byte 0, then RGB.
    std::vector<std::uint8_t> raw;
    for (int row = 0; row < pixels.height; ++row)
    {
        raw.push_back(0);
        for (int column = 0; column < pixels.width; ++column)
        {
            const std::size_t at = (static_cast<std::size_t>(row) * static_cast<std::size_t>(pixels.width) +
                                    static_cast<std::size_t>(column)) *
                                   3;
            raw.push_back(pixels.bgr[at + 2]);
            raw.push_back(pixels.bgr[at + 1]);
            raw.push_back(pixels.bgr[at]);
        }
    }
    // zlib stream of stored blocks (at most 65535 bytes each) and the Adler-32 of the data.
    std::vector<std::uint8_t> zlib = {0x78, 0x01};
    std::size_t offset = 0;
    do
    {
        const std::size_t length = raw.size() - offset < 65535 ? raw.size() - offset : 65535;
        zlib.push_back(offset + length == raw.size() ? 1 : 0);
        PutLittle(zlib, static_cast<std::uint32_t>(length), 2);
        PutLittle(zlib, static_cast<std::uint32_t>(~length & 0xFFFF), 2);
        zlib.insert(zlib.end(), raw.begin() + static_cast<std::ptrdiff_t>(offset),
                    raw.begin() + static_cast<std::ptrdiff_t>(offset + length));
        offset += length;
    } while (offset < raw.size());
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (const std::uint8_t byte : raw)
    {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    PutBig(zlib, (b << 16) | a);

    std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    PutBig(header, static_cast<std::uint32_t>(pixels.width));
    PutBig(header, static_cast<std::uint32_t>(pixels.height));
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8-bit RGB, deflate, no filter choice, no interlace
    PutChunk(out, "IHDR", header);
    PutChunk(out, "IDAT", zlib);
    PutChunk(out, "IEND", {});
    return out;
}

bool EndsWithPng(const std::wstring& path)
{
    return path.size() >= 4 && _wcsicmp(path.c_str() + path.size() - 4, L".png") == 0;
}

} // namespace

bool SaveWindowBitmap(HWND window, const std::wstring& path)
{
    Pixels pixels;
    if (!ReadClientArea(window, pixels))
        return false;
    const std::vector<std::uint8_t> bytes = EndsWithPng(path) ? EncodePng(pixels) : EncodeBmp(pixels);
    std::ofstream file(path.c_str(), std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

} // namespace testhost
