// Digest, encoder and text helpers: the password digest must never change between releases (the service
// compares it), and the encoder decides what the service receives.
#include "core/Text.h"

#include <gtest/gtest.h>

#include "core/Md5.h"

namespace
{
struct DigestCase
{
    const char* input;
    const char* digest;
};

// RFC 1321, appendix A.5.
constexpr DigestCase kRfc1321Suite[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

TEST(Md5, MatchesTheReferenceSuite)
{
    for (const auto& test : kRfc1321Suite)
    {
        SCOPED_TRACE(test.input);
        EXPECT_EQ(Md5Hex(test.input), test.digest);
    }
}

TEST(Md5, PiecesGiveTheSameDigestAsTheWhole)
{
    // Pieces that straddle the 64-byte block boundary in every way the buffering can meet.
    const std::string text(200, 'q');
    for (uint32_t split : {1u, 55u, 56u, 63u, 64u, 65u, 128u, 199u})
    {
        SCOPED_TRACE(split);
        Md5Digest digest;
        digest.Update(text.data(), split);
        digest.Update(text.data() + split, static_cast<uint32_t>(text.size()) - split);
        digest.Finalize();
        EXPECT_EQ(digest.HexText(), Md5Hex(text));
    }
}

TEST(Md5, FinaliseOnceAndNoTextBefore)
{
    Md5Digest digest;
    digest.Update("abc", 3);
    EXPECT_EQ(digest.HexText(), "");
    digest.Finalize();
    digest.Update("more", 4); // ignored after finalising
    digest.Finalize();        // no effect the second time
    EXPECT_EQ(digest.HexText(), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(PasswordDigest, IsTheLowercaseHexDigestOfTheNarrowText)
{
    EXPECT_EQ(PasswordDigest(L"cashback"), L"d943641d1ed7d29e955f36d6327ead93");
    EXPECT_EQ(PasswordDigest(L""), L"d41d8cd98f00b204e9800998ecf8427e");
    // A character of the Western code page is digested as its single byte (0xE9), not as UTF-8.
    EXPECT_EQ(PasswordDigest(L"caf\u00e9"), NarrowToWide(Md5Hex("caf\xe9")));
}

struct EncodeCase
{
    const wchar_t* input;
    const wchar_t* encoded;
};

TEST(UrlEncode, EncodesEverythingButLettersDigitsHyphenAndFullStop)
{
    const EncodeCase cases[] = {
        {L"", L""},
        {L"AZaz09-.", L"AZaz09-."},
        {L"a b", L"a+b"},
        {L"_", L"%5f"},
        {L"\n", L"%0a"},
        {L"~*/:?=&#%+", L"%7e%2a%2f%3a%3f%3d%26%23%25%2b"},
        {L"anne+shop@example.co.uk", L"anne%2bshop%40example.co.uk"},
        {L"caf\u00e9", L"caf%e9"},
        {L"\u20ac5", L"%805"}, // the euro sign is byte 0x80 of the Western code page
        {L"\u4e00", L"%3f"},   // not in the code page: its default character, then encoded
        {L"\u00ff", L"%ff"},
    };
    for (const auto& test : cases)
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(test.input)));
        EXPECT_EQ(UrlEncode(test.input), test.encoded);
    }
}

TEST(ReplaceFirst, ReplacesOnlyTheFirstOccurrence)
{
    EXPECT_EQ(ReplaceFirst(L"%s and %s", L"%s", L"x"), L"x and %s");
    EXPECT_EQ(ReplaceFirst(L"abc", L"zz", L"x"), L"abc");
    EXPECT_EQ(ReplaceFirst(L"abc", L"", L"x"), L"xabc");
    EXPECT_EQ(ReplaceFirst(L"", L"a", L"x"), L"");
    EXPECT_EQ(ReplaceFirst(L"aaa", L"aa", L""), L"a");
}

TEST(CodePage, RoundTripsWesternTextAndStopsAtTheTerminator)
{
    const std::wstring western = L"Caf\u00e9 \u00a3 \u20ac \u2019";
    EXPECT_EQ(NarrowToWide(WideToNarrow(western)), western);
    EXPECT_EQ(WideToNarrow(L"\u00a3"), "\xa3");
    EXPECT_EQ(NarrowToWide("\x80"), L"\u20ac");
    EXPECT_EQ(NarrowToWide(std::string("ab\0cd", 5)), L"ab");
    EXPECT_EQ(WideToNarrow(std::wstring(L"ab\0cd", 5)), "ab");
    EXPECT_EQ(WideToNarrow(L"\u4e00"), "?");
}
} // namespace
