// The workers' reading of the service's replies: which first fields count, where a field ends, what the
// last field keeps, and how the cashback texts and the number are read.
#include "workers/Replies.h"

#include <gtest/gtest.h>
#include <limits>

namespace
{
const std::wstring kEmail = L"anne@example.com";
const std::wstring kDigest = L"d943641d1ed7d29e955f36d6327ead93";

TEST(PasswordChangeReply, FormsThatChangeTheAccount)
{
    struct Case
    {
        const wchar_t* reply;
        const wchar_t* email;
        const wchar_t* digest;
    };
    const Case cases[] = {
        {L"1|0123abcd", L"anne@example.com", L"0123abcd"},
        {L"1|abc|def|", L"anne@example.com", L"abc|def|"}, // the rest is the digest, "|" included
        {L"1|", L"anne@example.com", L""},
        {L"2|p|e@example.com", L"e@example.com", L"p"},
        {L"2|p|e|x", L"e|x", L"p"}, // the e-mail runs to the end
        {L"2||", L"", L""},
        {L"2|p", L"anne@example.com", L"d943641d1ed7d29e955f36d6327ead93"}, // no second "|": both stay
    };
    for (const auto& test : cases)
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(test.reply)));
        const auto change = ParsePasswordChange(test.reply, kEmail, kDigest);
        ASSERT_TRUE(change.has_value());
        EXPECT_EQ(change->email, test.email);
        EXPECT_EQ(change->digest, test.digest);
    }
}

TEST(PasswordChangeReply, OtherRepliesChangeNothing)
{
    for (const wchar_t* reply :
         {L"", L"1", L"2", L"0|x", L"3|p|e", L"10|x", L"21|p|e", L"01|x", L" 1|x", L"1 |x", L"|1|x", L"<html>1</html>"})
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(reply)));
        EXPECT_FALSE(ParsePasswordChange(reply, kEmail, kDigest).has_value());
    }
}

TEST(VerificationReply, SignedInWithAmountsAndNumber)
{
    const Verification result = ParseVerification(L"1|12.50&pound;|&euro;3.00|7");
    EXPECT_EQ(result.outcome, VerifyOutcome::SignedIn);
    EXPECT_EQ(result.approved, L"12.50\u00a3");
    EXPECT_EQ(result.pending, L"\u20ac3.00");
    EXPECT_EQ(result.number, 7);
}

TEST(VerificationReply, FieldsPresentDependOnTheSeparators)
{
    struct Case
    {
        const wchar_t* reply;
        std::optional<std::wstring> approved;
        std::optional<std::wstring> pending;
        std::optional<int32_t> number;
    };
    const Case cases[] = {
        {L"1|x", std::nullopt, std::nullopt, std::nullopt}, // one more field only: the texts stay
        {L"1|", std::nullopt, std::nullopt, std::nullopt},
        {L"1|a|b", L"a", std::nullopt, std::nullopt},
        {L"1|a|b|", L"a", L"b", 0},
        {L"1|||", L"", L"", 0},
        {L"1|a|b|12|34", L"a", L"b", 12}, // the rest is read as a number up to the first non-digit
    };
    for (const auto& test : cases)
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(test.reply)));
        const Verification result = ParseVerification(test.reply);
        EXPECT_EQ(result.outcome, VerifyOutcome::SignedIn);
        EXPECT_EQ(result.approved, test.approved);
        EXPECT_EQ(result.pending, test.pending);
        EXPECT_EQ(result.number, test.number);
    }
}

TEST(VerificationReply, OutcomeFollowsTheWholeFirstField)
{
    struct Case
    {
        const wchar_t* reply;
        VerifyOutcome outcome;
    };
    const Case cases[] = {
        {L"", VerifyOutcome::NoAnswer},
        {L"1", VerifyOutcome::NoAnswer},
        {L"2", VerifyOutcome::NoAnswer},
        {L"12.50&pound;", VerifyOutcome::NoAnswer},
        {L"2|", VerifyOutcome::NotRegistered},
        {L"2|x|y|3", VerifyOutcome::NotRegistered},
        {L"0|", VerifyOutcome::WrongPassword},
        {L"|1|2|3", VerifyOutcome::WrongPassword},
        {L"10|a|b|3", VerifyOutcome::WrongPassword},
        {L"21|a", VerifyOutcome::WrongPassword},
        {L"1 |a|b|3", VerifyOutcome::WrongPassword},
        {L"<html><body>1|a|b|3</body></html>", VerifyOutcome::WrongPassword},
    };
    for (const auto& test : cases)
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(test.reply)));
        const Verification result = ParseVerification(test.reply);
        EXPECT_EQ(result.outcome, test.outcome);
        EXPECT_FALSE(result.approved || result.pending || result.number) << "only a sign-in carries amounts";
    }
}

TEST(VerificationReply, OnlyTheFirstOfEachEntityIsReplaced)
{
    struct Case
    {
        const wchar_t* text;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"&pound;1 &pound;2", L"\u00a31 &pound;2"},
        {L"&yen;1 &euro;2 &pound;3", L"\u00a51 \u20ac2 \u00a33"},
        {L"&euro;&euro;&yen;&yen;", L"\u20ac&euro;\u00a5&yen;"},
        {L"&POUND;5 &pound 5 &amp;", L"&POUND;5 &pound 5 &amp;"},
        {L"", L""},
    };
    for (const auto& test : cases)
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(test.text)));
        EXPECT_EQ(ResolveCurrencyEntities(test.text), test.expected);
        const Verification result = ParseVerification(std::wstring(L"1|") + test.text + L"|" + test.text + L"|0");
        EXPECT_EQ(result.approved, test.expected);
        EXPECT_EQ(result.pending, test.expected);
    }
}

TEST(VerificationReply, NumberIsReadLikeTheCLibraryReadsIt)
{
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    struct Case
    {
        const wchar_t* text;
        int32_t expected;
    };
    const Case cases[] = {
        {L"7", 7},
        {L"  42", 42},
        {L"\t\n\v\f\r 9", 9},
        {L"-15", -15},
        {L"+8", 8},
        {L"007", 7},
        {L"12abc", 12},
        {L"3.99", 3},
        {L"", 0},
        {L"abc", 0},
        {L"-", 0},
        {L"+-3", 0},
        {L"- 5", 0},
        {L"\u00a05", 0}, // a no-break space is not a blank
        {L"\uff17", 0},  // nor is a full-width digit a digit
        {L"2147483647", kMax},
        {L"2147483648", kMax},
        {L"-2147483648", kMin},
        {L"-2147483649", kMin},
        {L"99999999999999999999999", kMax},
        {L"-99999999999999999999999", kMin},
    };
    for (const auto& test : cases)
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(test.text)));
        EXPECT_EQ(LeadingInteger(test.text), test.expected);
        EXPECT_EQ(ParseVerification(std::wstring(L"1|a|b|") + test.text).number, test.expected);
    }
}

TEST(VersionReply, FirstFieldWhenThereIsASeparator)
{
    EXPECT_EQ(ParseVersion(L"1.1.05|Quillbury toolbar"), L"1.1.05");
    EXPECT_EQ(ParseVersion(L"1.2.00|a|b"), L"1.2.00");
    EXPECT_EQ(ParseVersion(L"1.1.05 |x"), L"1.1.05 ");
    EXPECT_EQ(ParseVersion(L"|x"), L"");
    EXPECT_FALSE(ParseVersion(L"1.2.00").has_value());
    EXPECT_FALSE(ParseVersion(L"").has_value());
}

TEST(NoticeReply, EverythingAfterTheSecondSeparator)
{
    struct Case
    {
        const wchar_t* reply;
        std::optional<std::wstring> notice;
    };
    const Case cases[] = {
        {L"1|notice|Welcome", L"Welcome"},
        {L"1|x|a | b | c|", L"a | b | c|"},
        {L"1|||", L"|"},
        {L"1||", L""},
        {L"1|x", std::nullopt},
        {L"1|", std::nullopt},
        {L"1", std::nullopt},
        {L"", std::nullopt},
        {L"0|x|text", std::nullopt},
        {L"11|x|text", std::nullopt},
        {L"2|x|text", std::nullopt},
        {L"|1|x|text", std::nullopt},
    };
    for (const auto& test : cases)
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(test.reply)));
        EXPECT_EQ(ParseNotice(test.reply), test.notice);
    }
}
} // namespace
