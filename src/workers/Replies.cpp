#include "workers/Replies.h"

#include <limits>

#include "core/Text.h"

namespace
{
constexpr wchar_t kSeparator = L'|';

// Splits off the first field; false when the text has no separator.
bool SplitFirst(const std::wstring& text, std::wstring& first, std::wstring& rest)
{
    const size_t at = text.find(kSeparator);
    if (at == std::wstring::npos)
        return false;
    first = text.substr(0, at);
    rest = text.substr(at + 1);
    return true;
}
} // namespace

std::optional<AccountChange> ParsePasswordChange(const std::wstring& reply, const std::wstring& email,
                                                 const std::wstring& digest)
{
    std::wstring first, rest;
    if (!SplitFirst(reply, first, rest))
        return std::nullopt;
    if (first == L"1")
        return AccountChange{email, rest};
    if (first == L"2")
    {
        std::wstring newDigest, newEmail;
        if (SplitFirst(rest, newDigest, newEmail))
            return AccountChange{newEmail, newDigest};
        return AccountChange{email, digest};
    }
    return std::nullopt;
}

std::wstring ResolveCurrencyEntities(std::wstring text)
{
    text = ReplaceFirst(std::move(text), L"&pound;", L"\u00a3");
    text = ReplaceFirst(std::move(text), L"&euro;", L"\u20ac");
    return ReplaceFirst(std::move(text), L"&yen;", L"\u00a5");
}

int32_t LeadingInteger(const std::wstring& text)
{
    size_t at = 0;
    while (at < text.size() && (text[at] == L' ' || (text[at] >= L'\t' && text[at] <= L'\r')))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == L'+' || text[at] == L'-'))
        negative = text[at++] == L'-';
    int64_t value = 0;
    for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at)
    {
        value = value * 10 + (text[at] - L'0');
        if (value > std::numeric_limits<int32_t>::max())
            return negative ? std::numeric_limits<int32_t>::min() : std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(negative ? -value : value);
}

Verification ParseVerification(const std::wstring& reply)
{
    Verification result;
    std::wstring first, rest;
    if (!SplitFirst(reply, first, rest))
        return result;
    if (first != L"1")
    {
        result.outcome = first == L"2" ? VerifyOutcome::NotRegistered : VerifyOutcome::WrongPassword;
        return result;
    }
    result.outcome = VerifyOutcome::SignedIn;
    std::wstring approved, afterApproved;
    if (!SplitFirst(rest, approved, afterApproved))
        return result;
    result.approved = ResolveCurrencyEntities(approved);
    std::wstring pending, number;
    if (!SplitFirst(afterApproved, pending, number))
        return result;
    result.pending = ResolveCurrencyEntities(pending);
    result.number = LeadingInteger(number);
    return result;
}

std::optional<std::wstring> ParseVersion(const std::wstring& reply)
{
    std::wstring first, rest;
    if (!SplitFirst(reply, first, rest))
        return std::nullopt;
    return first;
}

std::optional<std::wstring> ParseNotice(const std::wstring& reply)
{
    std::wstring first, rest, ignored, notice;
    if (!SplitFirst(reply, first, rest) || first != L"1" || !SplitFirst(rest, ignored, notice))
        return std::nullopt;
    return notice;
}
