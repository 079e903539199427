// The service's replies to the background workers: fields separated by "|", the first field compared
// exactly and whole, the last field running to the end of the text. Portable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Whether a reply is the service's own answer: a 2xx status and a text that is not an HTML page (its first
// character after white space is not "<"). An error page or a network's sign-in page is no answer: the
// service was not reached.
[[nodiscard]] bool IsServiceAnswer(uint32_t status, const std::wstring& text);

// The login dialog's check: "0" (a wrong password for a known e-mail), "2" (an unknown e-mail), trailing
// CR, LF and spaces ignored; nothing else but those is an empty answer; any other text accepts.
enum class LoginAnswer
{
    Empty,
    AlreadyRegistered,
    NotRegistered,
    Accepted,
};
[[nodiscard]] LoginAnswer ParseLoginAnswer(const std::wstring& reply);

// Password change check: "1|digest" (the rest, "|" included, is the new digest) or "2|digest|email".
// A "2" without its second "|" keeps both values; the caller still rewrites them. A reply that would give
// an empty e-mail or digest changes nothing.
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

// Version check: the first field, when the reply has a "|" and the field is a version (digits and dots,
// beginning with a digit).
[[nodiscard]] std::optional<std::wstring> ParseVersion(const std::wstring& reply);

// Notice: "1|anything|notice" gives everything after the second "|".
[[nodiscard]] std::optional<std::wstring> ParseNotice(const std::wstring& reply);
