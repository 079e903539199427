// Every reader on each reply: the reply's "|"-separated fields (the last to the end), never an empty e-mail or digest,
// a version of digits and dots, the number as the C library reads it, the dialog's "0"/"2" but for trailing blanks.
#include <algorithm>

#include "FuzzInput.h"
#include "workers/Replies.h"

// The text split at its first `most - 1` separators.
static std::vector<std::wstring> Fields(const std::wstring& text, size_t most)
{
    std::vector<std::wstring> fields{text};
    for (size_t bar = 0; fields.size() < most && (bar = fields.back().find(L'|')) != std::wstring::npos;)
    {
        fields.push_back(fields.back().substr(bar + 1));
        fields[fields.size() - 2].resize(bar);
    }
    return fields;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::wstring reply = Widen(data, size);
    std::string narrow; // no character beyond ASCII is a blank, sign or digit
    for (const wchar_t c : reply)
        narrow += c < 0x80 ? static_cast<char>(c) : '\x01';
    Check(LeadingInteger(reply) == std::clamp(std::strtoll(narrow.c_str(), nullptr, 10), -0x80000000LL, 0x7fffffffLL));
    const auto two = Fields(reply, 2), three = Fields(reply, 3), four = Fields(reply, 4);
    const bool one = two.size() == 2 && two[0] == L"1", other = two.size() == 2 && two[0] == L"2";
    using Text = std::optional<std::wstring>;
    const auto change = ParsePasswordChange(reply, L"e", L"d");
    const std::wstring email = one || three.size() < 3 ? L"e" : three[2];
    const std::wstring digest = one ? two[1] : three.size() < 3 ? L"d" : three[1];
    Check(change.has_value() == ((one || other) && !email.empty() && !digest.empty()) &&
          (!change || (change->email == email && change->digest == digest)));
    const Verification result = ParseVerification(reply);
    Check(result.outcome == (two.size() < 2 ? VerifyOutcome::NoAnswer
                             : one          ? VerifyOutcome::SignedIn
                             : other        ? VerifyOutcome::NotRegistered
                                            : VerifyOutcome::WrongPassword));
    Check(result.approved == (one && four.size() > 2 ? Text(ResolveCurrencyEntities(four[1])) : std::nullopt));
    Check(result.pending == (one && four.size() > 3 ? Text(ResolveCurrencyEntities(four[2])) : std::nullopt));
    Check(result.number == (one && four.size() > 3 ? std::optional(LeadingInteger(four[3])) : std::nullopt));
    const auto digit = [](wchar_t c) { return c >= L'0' && c <= L'9'; };
    const bool version = two.size() == 2 && !two[0].empty() && digit(two[0][0]) &&
                         std::all_of(two[0].begin(), two[0].end(), [&](wchar_t c) { return c == L'.' || digit(c); });
    Check(ParseVersion(reply) == (version ? Text(two[0]) : std::nullopt));
    const std::wstring trimmed = reply.substr(0, reply.find_last_not_of(L"\r\n ") + 1); // npos + 1 is 0
    Check(ParseLoginAnswer(reply) == (trimmed.empty()   ? LoginAnswer::Empty
                                      : trimmed == L"0" ? LoginAnswer::AlreadyRegistered
                                      : trimmed == L"2" ? LoginAnswer::NotRegistered
                                                        : LoginAnswer::Accepted));
    Check(ParseNotice(reply) == (one && three.size() == 3 ? Text(three[2]) : std::nullopt));
    return 0;
}
