// Escaping and filling of the popup templates.
#include "browser/HtmlEscape.h"

#include <gtest/gtest.h>

namespace
{
TEST(EscapeHtml, WritesTheFiveMarkupCharactersAsEntities)
{
    struct Case
    {
        std::wstring text;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"", L""},
        {L"plain text 123 %20 #x", L"plain text 123 %20 #x"},
        {L"a&b", L"a&amp;b"},
        {L"&amp;", L"&amp;amp;"},
        {L"<script>alert(1)</script>", L"&lt;script&gt;alert(1)&lt;/script&gt;"},
        {L"\"'", L"&quot;&#39;"},
        {L"caf\u00e9 \u00a3 \u20ac", L"caf\u00e9 \u00a3 \u20ac"},
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(testing::PrintToString(test.text));
        EXPECT_EQ(EscapeHtml(test.text), test.expected);
    }
}

TEST(FillTemplate, ReplacesEveryOccurrenceWithTheEscapedValueInOrder)
{
    const std::wstring text = L"<a href=\"%T%\">x</a><a href=\"%T%\">%C%</a>";
    EXPECT_EQ(FillTemplate(text, {{L"%T%", L"http://s/go/?a=1&b=2"}, {L"%C%", L"<b>"}}),
              L"<a href=\"http://s/go/?a=1&amp;b=2\">x</a><a href=\"http://s/go/?a=1&amp;b=2\">&lt;b&gt;</a>");
}

TEST(FillTemplate, EdgeCases)
{
    struct Case
    {
        const char* name;
        std::wstring text;
        TemplateReplacements replacements;
        std::wstring expected;
    };
    const Case cases[] = {
        {"no replacements", L"%T%", {}, L"%T%"},
        {"placeholder absent", L"abc", {{L"%T%", L"x"}}, L"abc"},
        {"case-sensitive", L"%t% %T%", {{L"%T%", L"x"}}, L"%t% x"},
        {"value holding its own placeholder", L"%T%-%T%", {{L"%T%", L"%T%%T%"}}, L"%T%%T%-%T%%T%"},
        {"a later placeholder inside an earlier value", L"%A%", {{L"%A%", L"%B%"}, {L"%B%", L"b"}}, L"b"},
        {"empty placeholder replaces nothing", L"abc", {{L"", L"x"}}, L"abc"},
        {"empty value removes it", L"a%T%b", {{L"%T%", L""}}, L"ab"},
        {"adjacent occurrences", L"%T%%T%", {{L"%T%", L"&"}}, L"&amp;&amp;"},
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.name);
        EXPECT_EQ(FillTemplate(test.text, test.replacements), test.expected);
    }
}
} // namespace
