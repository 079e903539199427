// Shared by the fuzz targets. A failed check aborts, so that libFuzzer keeps the input.
#pragma once

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

inline void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// One character per byte; the top sixteen byte values stand for the highest code units (0xFFF0 to 0xFFFF).
inline std::wstring Widen(const uint8_t* data, size_t size)
{
    std::wstring text(size, L'\0');
    for (size_t i = 0; i < size; ++i)
        text[i] = static_cast<wchar_t>(data[i] >= 0xF0 ? 0xFF00 + data[i] : data[i]);
    return text;
}

inline std::pair<std::wstring, std::wstring> SplitAtZero(const uint8_t* data, size_t size)
{
    const auto* zero = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    const size_t first = zero ? static_cast<size_t>(zero - data) : size;
    return {Widen(data, first), zero ? Widen(zero + 1, size - first - 1) : std::wstring()};
}

using Records = std::vector<std::pair<std::wstring, std::wstring>>;

// The records must be the text's pieces that end at a "<br>" and hold a "|", in order, split at their first "|".
inline void CheckRecords(const std::wstring& text, const Records& records)
{
    size_t at = 0;
    for (const auto& [key, value] : records)
    {
        const std::wstring record = key + L"|" + value + L"<br>";
        const size_t found = text.find(record, at);
        const std::wstring skipped = text.substr(at, found - at);
        Check(found != std::wstring::npos && key.find(L'|') == std::wstring::npos &&
              skipped.find(L'|') == std::wstring::npos && record.find(L"<br>") == record.size() - 4 &&
              (skipped.empty() || skipped.ends_with(L"<br>")));
        at = found + record.size();
    }
    Check(text.rfind(L"<br>") + 1 <= at || text.find(L'|', at) > text.rfind(L"<br>"));
}
