// Escaping and filling of the popup templates. That any text is escaped and read back whole is fuzzed.
#include "browser/HtmlEscape.h"

#include <gtest/gtest.h>

TEST(HtmlEscape, FillsEveryPlaceholderWithTheEscapedValueInOrder)
{
    const std::tuple<std::wstring, TemplateReplacements, std::wstring> cases[] = {
        {L"<a href=\"%T%\">%T%</a>", {{L"%T%", L"?a=1&b=2"}}, L"<a href=\"?a=1&amp;b=2\">?a=1&amp;b=2</a>"},
        {L"%t% %T%", {{L"%T%", L"x"}}, L"%t% x"},                     // case-sensitive
        {L"%T%-%T%", {{L"%T%", L"%T%%T%"}}, L"%T%%T%-%T%%T%"},        // not searched again
        {L"%A%", {{L"%A%", L"%B%"}, {L"%B%", L"<b>"}}, L"&lt;b&gt;"}, // but by a later replacement
        {L"a%T%b", {{L"", L"x"}, {L"%T%", L""}}, L"ab"},              // an empty placeholder replaces nothing
    };
    for (const auto& [text, replacements, expected] : cases)
        EXPECT_EQ(FillTemplate(text, replacements), expected) << testing::PrintToString(text);
}
