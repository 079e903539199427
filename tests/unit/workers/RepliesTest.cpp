// The workers' reading of the service's replies: which fields each takes, the cashback texts and the number.
#include "workers/Replies.h"

#include <gtest/gtest.h>

// What each parser makes of the reply ("-" for nothing): the password change from "e" and "d", the verification
// (outcome: No answer, Signed in, not Registered, Wrong password; approved; pending; number), version and notice.
static std::wstring Read(const std::wstring& reply)
{
    const auto text = [](const std::optional<std::wstring>& value) { return value.value_or(L"-"); };
    const auto change = ParsePasswordChange(reply, L"e", L"d");
    const Verification v = ParseVerification(reply);
    return (change ? change->email + L" " + change->digest : L"-") + L" | " + L"NSRW"[static_cast<int>(v.outcome)] +
           L" " + text(v.approved) + L" " + text(v.pending) + L" " + (v.number ? std::to_wstring(*v.number) : L"-") +
           L" | " + text(ParseVersion(reply)) + L" | " + text(ParseNotice(reply));
}

TEST(Replies, EachParserTakesItsFields)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"1|12.50&pound;|&euro;3.00|7",
         L"e 12.50&pound;|&euro;3.00|7 | S 12.50\u00a3 \u20ac3.00 7 | 1 | &euro;3.00|7"},
        {L"1|x", L"e x | S - - - | 1 | -"}, // one more field only: the cashback texts stay
        {L"1", L"- | N - - - | - | -"},
        {L"2|p|e|x", L"e|x p | R - - - | 2 | -"}, // the e-mail runs to the end
        {L"2|p", L"e d | R - - - | 2 | -"},       // no second "|": both stay
        {L"10|a|b|3", L"- | W - - - | 10 | -"},
    };
    for (const auto& [reply, read] : cases)
        EXPECT_EQ(Read(reply), read) << testing::PrintToString(std::wstring(reply));
    EXPECT_EQ(ResolveCurrencyEntities(L"&euro;&euro;&yen;&yen;&pound;1 &pound;2 &POUND;3 &amp;"),
              L"\u20ac&euro;\u00a5&yen;\u00a31 &pound;2 &POUND;3 &amp;"); // the first of each only
}

TEST(Replies, NumberIsReadLikeTheCLibraryReadsIt)
{
    const std::pair<const wchar_t*, int32_t> cases[] = {{L"\t\n\v\f\r +8", 8},
                                                        {L"-15abc", -15},
                                                        {L"+-3", 0},
                                                        {L"\u00a05\uff17", 0},
                                                        {L"2147483648", 2147483647},
                                                        {L"-2147483649", -2147483647 - 1},
                                                        {L"99999999999999999999999", 2147483647}};
    for (const auto& [text, number] : cases)
        EXPECT_EQ(LeadingInteger(text), number) << testing::PrintToString(std::wstring(text));
}
