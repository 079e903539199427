// The service's offers and vouchers answers: body extraction, records, skipping, the one-time entity decoding,
// item access, and the check that keeps a signed-out drop-down from opening anything but a web address.
#include "toolbar/OfferParsing.h"

#include <gtest/gtest.h>
#include <vector>

namespace
{
using Texts = std::vector<std::wstring>;

TEST(OfferParsingTest, ExtractBodyTakesTheTextBetweenTheMarkersOrTheWholeAnswer)
{
    struct Case
    {
        const wchar_t* answer;
        const wchar_t* body;
    };
    const Case cases[] = {
        {L"<html><body>A|1<br></body></html>", L"A|1<br>"},
        {L"<body></body>", L""},
        {L"<body>a</body>b</body>", L"a"},
        {L"A|1<br>B|2<br>", L"A|1<br>B|2<br>"},               // no markers: parsed whole
        {L"<body>A|1<br>", L"<body>A|1<br>"},                 // no end marker: whole text
        {L"A|1<br></body>", L"A|1<br></body>"},               // no start marker: whole text
        {L"</body>x<body>A|1<br>", L"</body>x<body>A|1<br>"}, // the end must follow the start
        {L"<BODY>A|1<br></BODY>", L"<BODY>A|1<br></BODY>"},   // the markers are matched exactly
        {L"", L""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.answer)));
        EXPECT_EQ(ExtractBody(c.answer), c.body);
    }
}

TEST(OfferParsingTest, OffersAreRecordsOfTitleAndIdentifier)
{
    struct Case
    {
        const wchar_t* text;
        Texts titles;
        Texts ids;
    };
    const Case cases[] = {
        {L"A|1<br>B|2<br>", {L"A", L"B"}, {L"1", L"2"}},
        {L"A|1|extra<br>", {L"A"}, {L"1|extra"}},     // the identifier is all after the first "|"
        {L"no separator<br>B|2<br>", {L"B"}, {L"2"}}, // a record without "|" is skipped
        {L"A|1<br>trailing|3", {L"A"}, {L"1"}},       // text after the last "<br>" is ignored
        {L"A|1", {}, {}},                             // no "<br>": no items
        {L"|<br><br>", {L""}, {L""}},                 // empty fields are items; an empty record is not
        {L"A|1<BR>B|2<br>", {L"A"}, {L"1<BR>B|2"}},   // "<br>" is matched exactly
        {L"", {}, {}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        OfferList list;
        ParseOffers(list, c.text);
        EXPECT_EQ(list.titles, c.titles);
        EXPECT_EQ(list.offerIds, c.ids);
        EXPECT_EQ(list.loaded, 1);
    }
}

TEST(OfferParsingTest, VouchersNeedTwoSeparatorsAndTheCodeKeepsTheRest)
{
    VoucherList list;
    ParseVouchers(list, L"One pipe only|7001<br>Good|7002|GOOD1<br>Three pipes|7003|X|Y<br>Empty||<br>after");
    EXPECT_EQ(list.titles, (Texts{L"Good", L"Three pipes", L"Empty"}));
    EXPECT_EQ(list.voucherIds, (Texts{L"7002", L"7003", L""}));
    EXPECT_EQ(list.codes, (Texts{L"GOOD1", L"X|Y", L""}));
    EXPECT_EQ(list.loaded, 1);

    VoucherList none;
    ParseVouchers(none, L"Title|1|CODE");
    EXPECT_TRUE(none.titles.empty());
    EXPECT_EQ(none.loaded, 1) << "an answer without records still completes the parse";
}

TEST(OfferParsingTest, OnlyTheFirstOfEachEntityInTheWholeAnswerIsDecoded)
{
    OfferList offers;
    ParseOffers(offers,
                L"Save &pound;10 on &pound;50|1<br>&euro;5 &yen;9|2<br>&euro;1 &yen;2 &pound;3|3<br>&amp;|4<br>");
    EXPECT_EQ(offers.titles,
              (Texts{L"Save \u00a310 on &pound;50", L"\u20ac5 \u00a59", L"&euro;1 &yen;2 &pound;3", L"&amp;"}));

    VoucherList vouchers;
    ParseVouchers(vouchers, L"A|1|&pound;&pound;<br>B|&euro;|&yen;<br>");
    EXPECT_EQ(vouchers.codes, (Texts{L"\u00a3&pound;", L"\u00a5"}));
    EXPECT_EQ(vouchers.voucherIds, (Texts{L"1", L"\u20ac"})) << "entities are decoded in identifiers too";

    OfferList decodedOnce;
    ParseOffers(decodedOnce, L"&amp;pound;|1<br>");
    EXPECT_EQ(decodedOnce.titles, Texts{L"&amp;pound;"}) << "no entity other than the three";
}

TEST(OfferParsingTest, ParsingAppendsAndClearingEmpties)
{
    OfferList list;
    ParseOffers(list, L"A|1<br>");
    ParseOffers(list, L"B|2<br>");
    EXPECT_EQ(list.titles, (Texts{L"A", L"B"}));
    ClearList(list);
    EXPECT_TRUE(list.titles.empty());
    EXPECT_TRUE(list.offerIds.empty());
    EXPECT_EQ(list.loaded, 0);

    VoucherList vouchers;
    ParseVouchers(vouchers, L"A|1|X<br>");
    ClearList(vouchers);
    EXPECT_TRUE(vouchers.titles.empty() && vouchers.voucherIds.empty() && vouchers.codes.empty());
    EXPECT_EQ(vouchers.loaded, 0);
}

TEST(OfferParsingTest, ItemsAreNumberedFromOneAndNothingOutsideTheList)
{
    OfferList offers;
    ParseOffers(offers, L"A|1<br>B|2<br>");
    VoucherList vouchers;
    ParseVouchers(vouchers, L"A|10|CODE1<br>B|20|A|B|C<br>");
    for (const int n : {-1, 0, 3, 60001})
    {
        SCOPED_TRACE(n);
        EXPECT_EQ(OfferIdAt(offers, n), nullptr);
        EXPECT_EQ(VoucherIdAt(vouchers, n), nullptr);
        EXPECT_EQ(VoucherCode(vouchers, n), L"");
    }
    ASSERT_NE(OfferIdAt(offers, 2), nullptr);
    EXPECT_EQ(*OfferIdAt(offers, 2), L"2");
    ASSERT_NE(VoucherIdAt(vouchers, 1), nullptr);
    EXPECT_EQ(*VoucherIdAt(vouchers, 1), L"10");
    EXPECT_EQ(VoucherCode(vouchers, 2), L"A|B|C");
}

TEST(OfferParsingTest, OnlyHttpAndHttpsAddressesAreWebAddresses)
{
    struct Case
    {
        const wchar_t* text;
        bool expected;
    };
    const Case cases[] = {
        {L"http://www.quillbury.co.uk/go/?y=1", true},
        {L"https://www.quillbury.co.uk/", true},
        {L"HTTP://SHOP.EXAMPLE/", true},
        {L"hTtPs://shop.example/", true},
        {L"http://", true},
        {L"", false},
        {L"javascript:alert(1)", false},
        {L"JavaScript:location='http://x/'", false},
        {L"vbscript:msgbox", false},
        {L"data:text/html,<script>alert(1)</script>", false},
        {L"file:///C:/Windows/", false},
        {L"about:blank", false},
        {L"ftp://shop.example/", false},
        {L" http://shop.example/", false}, // nothing may come before the scheme
        {L"http:/shop.example/", false},
        {L"http:shop.example", false},
        {L"https:/", false},
        {L"httpx://shop.example/", false},
        {L"A|1<br>B|2<br>", false},
        {L"www.shop.example", false},
        {L"\u0130ttp://shop.example/", false}, // no case folding beyond ASCII
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        EXPECT_EQ(IsWebAddress(c.text), c.expected);
    }
}
} // namespace
