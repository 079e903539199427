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

bool IsServiceAnswer(uint32_t status, const std::wstring& text)
{
    const size_t first = text.find_first_not_of(L" \t\r\n\f\v");
    return status >= 200 && status <= 299 && (first == std::wstring::npos || text[first] != L'<');
}

LoginAnswer ParseLoginAnswer(const std::wstring& reply)
{
    const size_t end = reply.find_last_not_of(L"\r\n ");
    const std::wstring answer = end == std::wstring::npos ? std::wstring() : reply.substr(0, end + 1);
    // Digits have no case, so comparing "ignoring case" with "0" and "2" is a plain comparison.
    if (answer.empty())
        return LoginAnswer::Empty;
    if (answer == L"0")
        return LoginAnswer::AlreadyRegistered;
    return answer == L"2" ? LoginAnswer::NotRegistered : LoginAnswer::Accepted;
}

std::optional<AccountChange> ParsePasswordChange(const std::wstring& reply, const std::wstring& email,
                                                 const std::wstring& digest)
{
    std::wstring first, rest;
    if (!SplitFirst(reply, first, rest))
        return std::nullopt;
    std::optional<AccountChange> change;
    std::wstring newDigest, newEmail;
    if (first == L"1")
        change = AccountChange{email, rest};
    else if (first == L"2")
        change =
            SplitFirst(rest, newDigest, newEmail) ? AccountChange{newEmail, newDigest} : AccountChange{email, digest};
    if (change && (change->email.empty() || change->digest.empty()))
        return std::nullopt;
    return change;
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
    if (!SplitFirst(reply, first, rest) || first.empty() || first[0] < L'0' || first[0] > L'9' ||
        first.find_first_not_of(L"0123456789.") != std::wstring::npos)
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
