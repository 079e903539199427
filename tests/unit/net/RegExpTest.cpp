// The pattern matcher through FindAll: compile errors, the matching rules, the limits on hostile patterns.
#include "net/RegExp.h"

#include <gtest/gtest.h>

TEST(RegExp, CompileErrors)
{
    const std::wstring nested = std::wstring(100, L'(') + L"a" + std::wstring(100, L')');
    const std::pair<std::wstring, int> cases[] = {
        {L"(a?)*", RegExp::kRepeatedEmpty},
        {L"(!a)*", RegExp::kRepeatedEmpty},
        {L"{a?}\\0*", RegExp::kRepeatedEmpty},
        {L"[Z-a]", RegExp::kReversedRange}, // lowercased before it is compiled
        {L"[^]", RegExp::kEmptyClass},
        {L"{abc", RegExp::kGroupNotClosed},
        {L"{a(b}", RegExp::kParenthesisNotClosed},
        {L"\\1{a}{b}", RegExp::kUnknownGroup},
        {L"[a-]", RegExp::kClassNotClosed},
        {L"(" + nested + L")", RegExp::kOutOfMemory},
        {nested + L"{a\\0}{a}\\0*[A-z]a??a+*^*$)}|!\\d+\\w*\\q?\\n+", RegExp::kNoError},
    };
    for (const auto& [pattern, error] : cases)
        EXPECT_EQ(RegExp().Compile(pattern), error) << testing::PrintToString(pattern);
}

// Each row: pattern, text, and the texts FindAll lists, each followed by ";" ("failed" when it fails).
TEST(RegExp, FindAllListsTheDistinctTextsOfTheFirstGroup)
{
    const std::tuple<std::wstring, std::wstring, std::wstring> cases[] = {
        {L"charset={[A-Za-z0-9\\-_]+}", L"Type: text/html; Charset=UTF-8\r\nX: CHARSET=utf-8", L"UTF-8;"},
        {L"{<.*?>}", L"<b>x</b>", L"<b>;</b>;"},
        {L"{a+?}", L"aaa", L"a;"},
        {L"({[a-z]})+", L"abc", L"c;"}, // a repeated group keeps its last iteration
        {L"{a|ab}", L"ab", L"a;"},      // the left alternative first
        {L"{a}b|c$", L"abz", L"a;"},    // "$" belongs to the last alternative
        {L"{a*}", L"baab", L";aa;"},    // after an empty match one character further
        {L"{x*}$", L"ab", L""},         // and never at the end of the text
        {L"{[a-z]}\\0", L"xyzzy", L"z;"},
        {L"{ab}c\\0", L"ABcab", L"AB;"}, // compared case-insensitively
        {L"{.}.*\\0", L"abcb", L"b;"},   // what failed with another capture may match now
        {L"{!a.}", L"abc", L"b;c;"},
        {L"!({.}x).", L"ab", L""}, // captures inside a failed negation are undone
        {L"^{a}", L"ba", L""},
        {L"^{a}", L"aab", L"a;"}, // anchored where each search starts
        {L"{a$^\\x\\.}", L"a$^x.b", L"a$^x.;"},
        {L"{[^a-c]+}", L"abXYc", L"XY;"},
        {L"{[\\]\\t\\-+.]+}", L"a]\t-+.b", L"]\t-+.;"},
        {L"{\\D+}", L"ab123c45", L"123;45;"},
        {L"{\\w}", L"Abc1de", L"Abc;de;"},
        {L"{\\z}", L"x42y7", L"42;7;"},
        {L"{\\h+}", L"zz0aFz", L"0aF;"},
        {L"{\\a+}", L"--ab1--", L"ab1;"},
        {L"{\\c+}", L"ab1cd", L"ab;cd;"},
        {L"{\\b+}", L"a \t b", L" \t ;"},
        {L"{\\q}", L"say \"hi\" or 'x'", L"\"hi\";"},
        {L"{\\n}", L"a\r\nb\rc\nd", L"\r;\n;"},
        {L"{({a})*}", std::wstring(1000, L'a'), std::wstring(1000, L'a') + L";"},
        {L"{(a+)+b}", std::wstring(40, L'a'), L""},          // failed positions are remembered
        {L"{.*x}", std::wstring(200000, L'a'), L""},         // quadratic by plain backtracking
        {L"{({a})*}", std::wstring(70000, L'a'), L"failed"}, // the work allowance runs out
        {L"{.*}", std::wstring(262150, L'a'), L"failed"},    // and the stack, with no later match given instead
        {L"{[a-z]+}:\\0", std::wstring(1500, L'a'), L""},    // a back-reference over a long token is answered
        {L"", L"abc", L"failed"},
        {L"{a}", L"", L"failed"},
    };
    for (const auto& [pattern, text, expected] : cases)
    {
        std::vector<std::wstring> found{L"left over"};
        std::wstring listed = FindAll(pattern, text, found) ? L"" : L"failed";
        for (const std::wstring& piece : found)
            listed += piece + L";";
        EXPECT_EQ(listed, expected) << testing::PrintToString(pattern + L" in " + text.substr(0, 60));
    }
}
