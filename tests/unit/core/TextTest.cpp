// The digest (which the service compares: it must never change) and the encoder (what the service receives).
#include "core/Text.h"

#include <gtest/gtest.h>

#include "core/Md5.h"

TEST(Text, DigestsMatchTheRfc1321Suite)
{
    const std::pair<std::string, const char*> suite[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
        {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"}, // the padding needs a second block
    };
    for (const auto& [input, digest] : suite)
        EXPECT_EQ(Md5Hex(input), digest) << input;
    EXPECT_EQ(PasswordDigest(L"caf\u00e9"), NarrowToWide(Md5Hex("caf\xe9"))) << "the Western code page's byte";
}

TEST(Text, UrlEncodeKeepsOnlyLettersDigitsHyphenFullStopInTheWesternCodePage)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"AZaz09-. ", L"AZaz09-.+"},
        {L"_\n~*/:?=&#%+", L"%5f%0a%7e%2a%2f%3a%3f%3d%26%23%25%2b"},
        {L"caf\u00e9\u00ff", L"caf%e9%ff"},
        {L"\u20ac\u4e00", L"%80%3f"}, // the Western code page's byte; its default character
    };
    for (const auto& [text, encoded] : cases)
        EXPECT_EQ(UrlEncode(text), encoded) << testing::PrintToString(std::wstring(text));
    EXPECT_EQ(WideToNarrow(std::wstring(L"\u00a3\u20ac\u4e00\0x", 5)), "\xa3\x80?"); // up to the terminator
    EXPECT_EQ(NarrowToWide(std::string("\xa3\x80\x92\0x", 5)), L"\u00a3\u20ac\u2019");
}
