// Which replies count as the service's answers, and the cashback texts. What each reader takes from an answer is
// fuzzed against the rules (tests/fuzz/RepliesFuzz.cpp), the awkward replies among its seeds.
#include "workers/Replies.h"

#include <gtest/gtest.h>

TEST(Replies, AnAnswerIsA2xxReplyThatIsNoPage)
{
    for (const uint32_t status : {199u, 300u, 302u, 404u, 500u})
        EXPECT_FALSE(IsServiceAnswer(status, L"1|x")) << status;
    EXPECT_FALSE(IsServiceAnswer(200, L" \r\n<html>1.2|x"));
    EXPECT_TRUE(IsServiceAnswer(204, L"") && IsServiceAnswer(299, L"x<p>"));
    EXPECT_EQ(ResolveCurrencyEntities(L"&euro;&euro;&yen;&yen;&pound;1 &pound;2 &POUND;3 &amp;"),
              L"\u20ac&euro;\u00a5&yen;\u00a31 &pound;2 &POUND;3 &amp;"); // the first of each only
}
