// The pattern matcher: compile errors, the matching rules through FindAll, the literal-prefix search against
// the plain search, and the limits that keep hostile patterns from running away.
#include "net/RegExp.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
using Texts = std::vector<std::wstring>;

struct CompileCase
{
    std::wstring pattern;
    int error;
};

TEST(RegExpTest, CompileErrors)
{
    const CompileCase cases[] = {
        {L"a*", RegExp::kNoError},
        {L"(a?)*", RegExp::kRepeatedEmpty},
        {L"[z-a]", RegExp::kReversedRange},
        {L"[Z-a]", RegExp::kReversedRange}, // the pattern is lowercased before it is compiled
        {L"[A-z]", RegExp::kNoError},
        {L"[]", RegExp::kEmptyClass},
        {L"[^]", RegExp::kEmptyClass},
        {L"{abc", RegExp::kGroupNotClosed},
        {L"{a(b}", RegExp::kParenthesisNotClosed},
        {L"\\1{a}{b}", RegExp::kUnknownGroup},
        {L"{a}\\1", RegExp::kUnknownGroup},
        {L"{a\\0}", RegExp::kNoError}, // opened before the reference, though not yet closed
        {L"(abc", RegExp::kParenthesisNotClosed},
        {L"[abc", RegExp::kClassNotClosed},
        {L"[a-]", RegExp::kClassNotClosed},
        {L"[a-", RegExp::kClassNotClosed},
        {L"[a\\", RegExp::kClassNotClosed},
        {L"a**", RegExp::kRepeatedEmpty},
        {L"a?+", RegExp::kRepeatedEmpty},
        {L"(a?)*?", RegExp::kRepeatedEmpty},
        {L"(a|)+", RegExp::kRepeatedEmpty},
        {L"(!a)*", RegExp::kRepeatedEmpty},
        {L"{a?}\\0*", RegExp::kRepeatedEmpty},
        {L"{a}\\0*", RegExp::kNoError},
        {L"a??", RegExp::kNoError},
        {L"(a?)?", RegExp::kNoError},
        {L"a+*", RegExp::kNoError},
        {L"\\d+\\w*\\q?\\n+", RegExp::kNoError},
        {L"^*$", RegExp::kNoError},
        {L")}|!", RegExp::kNoError},
        {std::wstring(100, L'(') + L"a" + std::wstring(100, L')'), RegExp::kNoError},
        {std::wstring(101, L'(') + L"a" + std::wstring(101, L')'), RegExp::kOutOfMemory},
    };
    for (const CompileCase& c : cases)
    {
        SCOPED_TRACE(c.pattern);
        RegExp regExp;
        EXPECT_EQ(regExp.Compile(c.pattern), c.error);
        EXPECT_EQ(regExp.LastError(), c.error);
    }
}

struct FindCase
{
    std::wstring pattern;
    std::wstring text;
    Texts expected;
};

void ExpectFindAll(const FindCase& c)
{
    SCOPED_TRACE(L"pattern " + c.pattern + L" text " + c.text);
    Texts found{L"left over"};
    EXPECT_TRUE(FindAll(c.pattern, c.text, found));
    EXPECT_EQ(found, c.expected);
}

TEST(RegExpTest, SystemPatterns)
{
    const std::wstring charset = L"charset={[A-Za-z0-9\\-_]+}";
    const FindCase cases[] = {
        {charset, L"HTTP/1.1 200 OK\r\nContent-Type: text/html; Charset=ISO-8859-1\r\n\r\n", {L"ISO-8859-1"}},
        {charset, L"Content-Type: text/html; charset=UTF-8\r\nX-Charset: CHARSET=utf-8\r\n", {L"UTF-8"}},
        {charset, L"Content-Type: text/plain\r\n", {}},
        {L"{<html>}", L"<!DOCTYPE html>\r\n<HTML><body></body></HTML>", {L"<HTML>"}},
        {L"{</html>}", L"<html><body>cut sh", {}},
        {L"{</html>}", L"<html><body></body></Html>\r\n", {L"</Html>"}},
    };
    for (const FindCase& c : cases)
        ExpectFindAll(c);
}

TEST(RegExpTest, Repetition)
{
    const FindCase cases[] = {
        {L"{<.*>}", L"<b>x</b>", {L"<b>x</b>"}},
        {L"{<.*?>}", L"<b>x</b>", {L"<b>", L"</b>"}},
        {L"{a+}", L"aaa", {L"aaa"}},
        {L"{a+?}", L"aaa", {L"a"}},
        {L"{a??}b", L"ab", {L"a"}},
        {L"{(ab)*?}c", L"ababc", {L"abab"}},
        {L"({[a-z]})+", L"abc", {L"c"}}, // a repeated group keeps its last iteration
        {L"{a|ab}", L"ab", {L"a"}},      // the left alternative first
        {L"{ab|a}", L"ab", {L"ab"}},
        {L"(a)(b)", L"ab", {}}, // no capturing group
        // Empty matches: the search goes on one character further, and never tries at the end of the text.
        {L"{a*}", L"baab", {L"", L"aa"}},
        {L"{x*}$", L"ab", {}},
    };
    for (const FindCase& c : cases)
        ExpectFindAll(c);
}

TEST(RegExpTest, BackReferencesNegationAnchors)
{
    const FindCase cases[] = {
        {L"{[a-z]}\\0", L"xyzzy", {L"z"}},
        {L"{ab}c\\0", L"ABcab", {L"AB"}}, // compared case-insensitively
        {L"{a\\0}", L"aaaa", {}},         // the group has captured nothing while it is open
        {L"{!a.}", L"abc", {L"b", L"c"}},
        {L"{a!b}", L"abac", {L"a"}},
        {L"{!(ab).}", L"abac", {L"b", L"a", L"c"}},
        {L"!({.}x).", L"ab", {}}, // captures inside a failed negated element are undone
        {L"^{a}", L"ba", {}},
        {L"^{b}", L"ba", {L"b"}},
        {L"^{a}", L"aab", {L"a"}}, // anchored where each search starts
        {L"{a$}", L"a$b", {L"a$"}},
        {L"{x^}", L"x^", {L"x^"}},
    };
    for (const FindCase& c : cases)
        ExpectFindAll(c);
}

TEST(RegExpTest, ClassesAndAbbreviations)
{
    const FindCase cases[] = {
        {L"{[a-c]+}", L"xAbCy", {L"AbC"}},
        {L"{[^a-c]+}", L"abXYc", {L"XY"}},
        {L"{[\\]x]+}", L"a]x]b", {L"]x]"}},
        {L"{[\\t ]+}", L"a \t b", {L" \t "}},
        {L"{[\\-+]+}", L"1+-2", {L"+-"}},
        {L"{[.]}", L"a.b", {L"."}},
        {L"{a[^b]}", L"aba c", {L"a "}},
        {L"{a[^b]}", L"a", {}}, // neither a class nor "." matches the end of the text
        {L"{a.}", L"a", {}},
        {L"{\\d+}", L"ab123c45", {L"123", L"45"}},
        {L"{\\D}", L"a1", {L"1"}},
        {L"{\\w}", L"Abc1de", {L"Abc", L"de"}},
        {L"{\\z}", L"x42y7", {L"42", L"7"}},
        {L"{\\h+}", L"zz0aFz", {L"0aF"}},
        {L"{\\a+}", L"--ab1--", {L"ab1"}},
        {L"{\\c+}", L"ab1cd", {L"ab", L"cd"}},
        {L"{\\b+}", L"a \t b", {L" \t "}},
        {L"{\\q}", L"say \"hi\" or 'x'", {L"\"hi\""}},
        {L"{\\n}", L"a\r\nb\rc\nd", {L"\r", L"\n"}},
        {L"{\\x}", L"a x", {L"x"}},
        {L"{\\.}", L"a.b", {L"."}},
    };
    for (const FindCase& c : cases)
        ExpectFindAll(c);
}

TEST(RegExpTest, FindAllFailures)
{
    Texts found{L"left over"};
    EXPECT_FALSE(FindAll(L"", L"abc", found));
    EXPECT_TRUE(found.empty());
    found = {L"left over"};
    EXPECT_FALSE(FindAll(L"{a}", L"", found));
    EXPECT_TRUE(found.empty());
    found = {L"left over"};
    EXPECT_FALSE(FindAll(L"{a", L"abc", found));
    EXPECT_TRUE(found.empty());
}

TEST(RegExpTest, MatchPositionsAndCaseSensitivity)
{
    RegExp regExp;
    MatchContext context;
    size_t next = 0;
    ASSERT_EQ(regExp.Compile(L"{a}$"), RegExp::kNoError);
    const std::wstring text = L"aBa";
    ASSERT_TRUE(regExp.Match(text, 0, context, next));
    EXPECT_EQ(context.MatchStart(), 2u);
    EXPECT_EQ(next, 3u);
    EXPECT_EQ(context.Group(0), (RegExpCapture{2, 3}));
    EXPECT_FALSE(context.Group(1).IsSet());

    // "$" belongs to the last alternative only.
    ASSERT_EQ(regExp.Compile(L"a|b$"), RegExp::kNoError);
    context.Reset();
    ASSERT_TRUE(regExp.Match(L"bab", 0, context, next));
    EXPECT_EQ(context.MatchStart(), 1u);

    ASSERT_EQ(regExp.Compile(L"{B}", true), RegExp::kNoError);
    context.Reset();
    ASSERT_TRUE(regExp.Match(text, 0, context, next));
    EXPECT_EQ(context.MatchStart(), 1u);
    EXPECT_FALSE(regExp.Match(L"abc", 0, context, next));
}

struct Found
{
    size_t start;
    size_t end;
    std::vector<RegExpCapture> groups;
    bool operator==(const Found&) const = default;
};

std::vector<Found> MatchAll(const RegExp& regExp, const std::wstring& text, bool literalScan)
{
    MatchContext context;
    context.SetLiteralScan(literalScan);
    std::vector<Found> found;
    size_t position = 0;
    size_t next = 0;
    while (position < text.size() && regExp.Match(text, position, context, next))
    {
        Found match{context.MatchStart(), next, {}};
        for (size_t group = 0; group < regExp.GroupCount(); ++group)
            match.groups.push_back(context.Group(group));
        found.push_back(match);
        position = next == context.MatchStart() ? next + 1 : next;
    }
    EXPECT_FALSE(context.LimitReached());
    return found;
}

TEST(RegExpTest, LiteralScanFindsWhatThePlainSearchFinds)
{
    const std::wstring patterns[] = {
        L"{aab}", L"a{ab}", L"{<html>}", L"charset={[a-z]+}", L"{ab}*c", L"ab|cd", L"{ab}\\0", L"^ab", L"x{y}z$",
        L"{}ab",  L"a!b.",  L"ab?c",     L"{{a}b}c",          L"a{b+}"};
    const std::wstring texts[] = {L"aaab aab AAB",      L"<HTML> <html", L"charset=UTF8 charset= charset=x",
                                  L"ababab abc cdab",   L"xyz xyz",      L"abab",
                                  L"ac abc abbb ab aAb"};
    for (const std::wstring& pattern : patterns)
    {
        RegExp regExp;
        ASSERT_EQ(regExp.Compile(pattern), RegExp::kNoError);
        for (const std::wstring& text : texts)
        {
            SCOPED_TRACE(L"pattern " + pattern + L" text " + text);
            EXPECT_EQ(MatchAll(regExp, text, true), MatchAll(regExp, text, false));
        }
    }
}

TEST(RegExpTest, HostilePatternsStayBounded)
{
    Texts found;
    // Nested repetition would take exponential time by plain backtracking; failed positions are remembered.
    EXPECT_TRUE(FindAll(L"{(a+)+b}", std::wstring(40, L'a'), found));
    EXPECT_TRUE(found.empty());
    // Quadratic by plain backtracking (every start scans to the end).
    EXPECT_TRUE(FindAll(L"{.*x}", std::wstring(200000, L'a'), found));
    EXPECT_TRUE(found.empty());
    EXPECT_TRUE(FindAll(L"{({a})*}", std::wstring(1000, L'a'), found));
    EXPECT_EQ(found, Texts{std::wstring(1000, L'a')});
    // Every attempt overflows the stack limit, and the work allowance runs out before the end of the text.
    EXPECT_FALSE(FindAll(L"{({a})*}", std::wstring(70000, L'a'), found));
    EXPECT_TRUE(found.empty());
}
} // namespace
