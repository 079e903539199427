// The service's replies to the background workers: fields separated by "|", the first field compared
// exactly and whole, the last field running to the end of the text. Portable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Password change check: "1|digest" (the rest, "|" included, is the new digest) or "2|digest|email".
// A "2" without its second "|" keeps both values; the caller still rewrites them.
struct AccountChange
{
    std::wstring email;
    std::wstring digest;
};
[[nodiscard]] std::optional<AccountChange> ParsePasswordChange(const std::wstring& reply, const std::wstring& email,
                                                               const std::wstring& digest);

// Account verification: "1|approved|pending|number" signs in; "2|..." means the e-mail is not registered;
// any other first field means a wrong password. A reply without "|" means nothing.
enum class VerifyOutcome
{
    NoAnswer,
    SignedIn,
    NotRegistered,
    WrongPassword,
};
struct Verification
{
    VerifyOutcome outcome = VerifyOutcome::NoAnswer;
    std::optional<std::wstring> approved; // entities resolved
    std::optional<std::wstring> pending;  // entities resolved
    std::optional<int32_t> number;
};
[[nodiscard]] Verification ParseVerification(const std::wstring& reply);

// The first "&pound;", "&euro;" and "&yen;" of a cashback text as their characters.
[[nodiscard]] std::wstring ResolveCurrencyEntities(std::wstring text);

// A decimal number as the C library reads one: leading blanks, an optional sign, digits; 0 when there are
// none; clamped to the 32-bit range.
[[nodiscard]] int32_t LeadingInteger(const std::wstring& text);

// Version check: the first field, when the reply has a "|".
[[nodiscard]] std::optional<std::wstring> ParseVersion(const std::wstring& reply);

// Notice: "1|anything|notice" gives everything after the second "|".
[[nodiscard]] std::optional<std::wstring> ParseNotice(const std::wstring& reply);
