// libFuzzer target for the pattern matcher. The input is a pattern and a text, separated by the first zero byte
// (without one, the input serves as both); each byte becomes one wide character. Besides not crashing or
// hanging, FindAll's texts must come from the text and be distinct, and the search that jumps between
// occurrences of a pattern's literal start must find exactly what the attempt at every position finds.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "net/RegExp.h"

namespace
{
void Check(bool condition)
{
    if (!condition)
        std::abort();
}

std::wstring Widen(const uint8_t* data, size_t size)
{
    std::wstring text(size, L'\0');
    for (size_t i = 0; i < size; ++i)
        text[i] = static_cast<wchar_t>(data[i]);
    return text;
}

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text)
    {
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return text;
}

void CheckFindAll(const std::wstring& pattern, const std::wstring& text)
{
    std::vector<std::wstring> found{L"left over"};
    if (!FindAll(pattern, text, found))
    {
        Check(found.empty());
        return;
    }
    std::unordered_set<std::wstring> distinct;
    for (const std::wstring& piece : found)
    {
        Check(text.find(piece) != std::wstring::npos);
        Check(distinct.insert(Lower(piece)).second);
    }
}

void CheckCapture(const RegExpCapture& capture, size_t size)
{
    if (capture.IsSet())
        Check(capture.start <= capture.end && capture.end <= size);
    else
        Check(capture == RegExpCapture{});
}

void CompareSearches(const RegExp& regExp, const std::wstring& text)
{
    MatchContext scanning;
    MatchContext plain;
    plain.SetLiteralScan(false);
    size_t position = 0;
    for (int round = 0; round < 256 && position < text.size(); ++round)
    {
        size_t nextScanning = 0;
        size_t nextPlain = 0;
        const bool foundScanning = regExp.Match(text, position, scanning, nextScanning);
        const bool foundPlain = regExp.Match(text, position, plain, nextPlain);
        // The plain search does more work, so only it may run out of its allowance.
        if (scanning.LimitReached() || plain.LimitReached())
            return;
        Check(foundScanning == foundPlain);
        if (!foundScanning)
            return;
        Check(scanning.MatchStart() == plain.MatchStart() && nextScanning == nextPlain);
        Check(position <= scanning.MatchStart() && scanning.MatchStart() <= nextScanning &&
              nextScanning <= text.size());
        Check(scanning.GroupCount() == regExp.GroupCount());
        for (size_t group = 0; group < regExp.GroupCount(); ++group)
        {
            Check(scanning.Group(group) == plain.Group(group));
            CheckCapture(scanning.Group(group), text.size());
        }
        position = nextScanning == scanning.MatchStart() ? nextScanning + 1 : nextScanning;
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto* split = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    const std::wstring pattern = Widen(data, split ? static_cast<size_t>(split - data) : size);
    const std::wstring text = split ? Widen(split + 1, size - static_cast<size_t>(split - data) - 1) : pattern;

    CheckFindAll(pattern, text);

    RegExp regExp;
    const int error = regExp.Compile(pattern);
    Check(error >= RegExp::kNoError && error <= RegExp::kRepeatedEmpty);
    if (error == RegExp::kNoError)
        CompareSearches(regExp, text);
    return 0;
}
