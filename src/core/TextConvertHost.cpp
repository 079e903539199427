// Code-page conversions for native builds: Windows-1252 in both directions, '?' as the default character.
#include <array>

#include "core/Text.h"

namespace
{
// Windows-1252 bytes 0x80 to 0x9F; the five bytes the code page leaves undefined map to the C1 controls of
// the same value, as Windows' own conversion does.
constexpr std::array<char16_t, 32> kHighControls = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

wchar_t WideFromByte(unsigned char byte)
{
    if (byte >= 0x80 && byte <= 0x9F)
        return static_cast<wchar_t>(kHighControls[byte - 0x80u]);
    return static_cast<wchar_t>(byte);
}

char ByteFromWide(wchar_t c)
{
    const auto value = static_cast<unsigned long>(c);
    if (value < 0x80 || (value >= 0xA0 && value <= 0xFF))
        return static_cast<char>(value);
    for (size_t i = 0; i < kHighControls.size(); ++i)
        if (kHighControls[i] == value)
            return static_cast<char>(0x80 + i);
    return '?';
}
} // namespace

std::wstring NarrowToWide(const std::string& text)
{
    std::wstring wide;
    wide.reserve(text.size());
    for (const char c : text)
    {
        if (c == '\0')
            break;
        wide.push_back(WideFromByte(static_cast<unsigned char>(c)));
    }
    return wide;
}

std::string WideToNarrow(const std::wstring& text)
{
    std::string narrow;
    narrow.reserve(text.size());
    for (const wchar_t c : text)
    {
        if (c == L'\0')
            break;
        narrow.push_back(ByteFromWide(c));
    }
    return narrow;
}
