// Code-page conversions in the calling thread's ANSI code page.
#include <windows.h>

#include "core/Text.h"

std::wstring NarrowToWide(const std::string& text)
{
    const int size = MultiByteToWideChar(CP_THREAD_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (size <= 0)
        return {};
    std::wstring wide(static_cast<size_t>(size), L'\0');
    if (MultiByteToWideChar(CP_THREAD_ACP, 0, text.c_str(), -1, wide.data(), size) <= 0)
        return {};
    wide.resize(wcslen(wide.c_str()));
    return wide;
}

std::string WideToNarrow(const std::wstring& text)
{
    // The size is asked for first: a code page may need more than two bytes a character (UTF-8 takes three for
    // every character from U+0800 on).
    const int size = WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return {};
    std::string narrow(static_cast<size_t>(size), '\0');
    const int written = WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), -1, narrow.data(), size, nullptr, nullptr);
    if (written <= 0)
        return {};
    narrow.resize(static_cast<size_t>(written - 1));
    return narrow;
}
