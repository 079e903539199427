// The service's replies: which answers count, which fields each reader takes, the cashback texts. Fuzzed too.
#include "workers/Replies.h"

#include <gtest/gtest.h>

// Each reader's reading ("-" for none): password change, verification (No answer, Signed in, not Registered, Wrong
// password; approved, pending, number), version, notice, answer at 200 (+) and login (Empty Already Not aCcepted).
static std::wstring Read(const std::wstring& reply)
{
    const auto text = [](const std::optional<std::wstring>& value) { return value.value_or(L"-"); };
    const auto change = ParsePasswordChange(reply, L"e", L"d");
    const Verification v = ParseVerification(reply);
    return (change ? change->email + L" " + change->digest : L"-") + L" | " + L"NSRW"[static_cast<int>(v.outcome)] +
           L" " + text(v.approved) + L" " + text(v.pending) + L" " + (v.number ? std::to_wstring(*v.number) : L"-") +
           L" | " + text(ParseVersion(reply)) + L" | " + text(ParseNotice(reply)) + L" | " +
           (IsServiceAnswer(200, reply) ? L"+" : L"-") + L"EANC"[static_cast<int>(ParseLoginAnswer(reply))];
}

TEST(Replies, EachReaderTakesItsFields)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"1|", L"- | S - - - | 1 | - | +C"}, // never an empty digest or e-mail
        {L"2|ab|", L"- | R - - - | 2 | - | +C"},
        {L"2||m", L"- | R - - - | 2 | - | +C"},
        {L" \r\n<html>1.2|x", L"- | W - - - | - | - | -C"}, // a version is digits and dots; a page is no answer
        {L"1.1a|", L"- | W - - - | - | - | +C"},
        {L"2 \n", L"- | N - - - | - | - | +N"}, // the dialog ignores trailing CR, LF and spaces only
    };
    for (const auto& [reply, read] : cases)
        EXPECT_EQ(Read(reply), read) << testing::PrintToString(std::wstring(reply));
    for (const uint32_t status : {199u, 300u, 302u, 404u, 500u})
        EXPECT_FALSE(IsServiceAnswer(status, L"1|x")) << status;
    EXPECT_TRUE(IsServiceAnswer(204, L"") && IsServiceAnswer(299, L"x<p>"));
    EXPECT_EQ(ResolveCurrencyEntities(L"&euro;&euro;&yen;&yen;&pound;1 &pound;2 &POUND;3 &amp;"),
              L"\u20ac&euro;\u00a5&yen;\u00a31 &pound;2 &POUND;3 &amp;"); // the first of each only
}
