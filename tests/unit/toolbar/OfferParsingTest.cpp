// The offers and vouchers answers, item access, and the check of what a signed-out drop-down may open.
#include "toolbar/OfferParsing.h"

#include <gtest/gtest.h>

// The records themselves are fuzzed against the rules (tests/fuzz/OfferParsingFuzz.cpp).
TEST(OfferParsing, ItemsAreNumberedFromOneAndAListIsAppendedTo)
{
    const std::wstring answer = L"<body>&pound;&pound;|&euro;|&yen;<br>One|7<br>&amp;pound;|1||<br>x|9</body>";
    OfferList offers;
    ParseOffers(offers, ExtractBody(answer));
    ParseOffers(offers, L"B|2<br>");
    VoucherList vouchers;
    ParseVouchers(vouchers, ExtractBody(answer));
    EXPECT_EQ(*OfferIdAt(offers, 4), L"2");
    EXPECT_EQ(VoucherCode(vouchers, 1), L"\u00a5");
    EXPECT_EQ(VoucherCode(vouchers, 2), L"|");
    EXPECT_TRUE(!OfferIdAt(offers, 0) && !OfferIdAt(offers, 5) && !VoucherIdAt(vouchers, 0) &&
                !VoucherIdAt(vouchers, 3));
    EXPECT_EQ(VoucherCode(vouchers, 3), L"");
    ClearList(vouchers);
    EXPECT_TRUE(vouchers.titles.empty() && vouchers.voucherIds.empty() && vouchers.codes.empty() && !vouchers.loaded);
}

TEST(OfferParsing, OnlyHttpAndHttpsAddressesAreWebAddresses)
{
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"hTtPs://", true},           {L" http://shop.example/", false}, // nothing before the scheme
        {L"https:/", false},           {L"httpx://shop/", false},
        {L"\u0130ttp://shop/", false}, // no case folding beyond ASCII
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(IsWebAddress(text), expected) << testing::PrintToString(std::wstring(text));
}
