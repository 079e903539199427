// The pattern matcher, on a pattern and a text split at the first zero byte: FindAll's texts come from the text and
// are distinct, and the search that jumps to the pattern's literal start finds what the plain search finds.
#include <unordered_set>

#include "FuzzInput.h"
#include "net/RegExp.h"

static bool CompareSearches(const RegExp& regExp, const std::wstring& text)
{
    MatchContext scanning, plain;
    plain.SetLiteralScan(false);
    for (size_t position = 0, round = 0; round < 256 && position < text.size(); ++round)
    {
        size_t next = 0, nextPlain = 0;
        const bool found = regExp.Match(text, position, scanning, next);
        const bool foundPlain = regExp.Match(text, position, plain, nextPlain);
        if (scanning.LimitReached() || plain.LimitReached() || !(found || foundPlain))
            return !scanning.LimitReached() && !plain.LimitReached();
        Check(found && foundPlain && scanning.MatchStart() == plain.MatchStart() && next == nextPlain &&
              position <= scanning.MatchStart() && scanning.MatchStart() <= next && next <= text.size());
        for (size_t group = 0; group < regExp.GroupCount(); ++group)
            Check(scanning.Group(group) == plain.Group(group) && scanning.Group(group).end + 1 <= text.size() + 1);
        position = next == scanning.MatchStart() ? next + 1 : next;
    }
    return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto [pattern, text] = SplitAtZero(data, size);
    text = text.empty() ? pattern : text;
    RegExp regExp;
    const int error = regExp.Compile(pattern);
    std::vector<std::wstring> found{L"left over"};
    const bool completed = FindAll(pattern, text, found);
    Check(error >= RegExp::kNoError && error <= RegExp::kRepeatedEmpty && (completed ? error == 0 : found.empty()));
    if (!completed) // a pattern that compiles ran out of work: not kept, as its mutants would run out too
        return error == RegExp::kNoError && !pattern.empty() ? -1 : 0;
    std::unordered_set<std::wstring> distinct;
    for (std::wstring piece : found)
    {
        Check(text.find(piece) != std::wstring::npos);
        for (wchar_t& c : piece)
            c = c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
        Check(distinct.insert(piece).second);
    }
    return CompareSearches(regExp, text) ? 0 : -1;
}
