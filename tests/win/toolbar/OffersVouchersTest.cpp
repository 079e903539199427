// The Offers and Vouchers drop-downs against the stand-in service: which pages ask the service at all, the
// menus built from its answers, the addresses of chosen items, and the signed-out rule that only a web address
// is ever opened.
#include "toolbar/OffersVouchers.h"

#include <gtest/gtest.h>
#include <vector>

#include "core/Text.h"
#include "module/ProcessObjects.h"
#include "net/ServiceUrls.h"
#include "settings/AccountStore.h"
#include "settings/Registry.h"
#include "toolbar/ShopListFile.h"
#include "win/net/StandinClient.h"

namespace
{
using Texts = std::vector<std::wstring>;

// The stand-in's fixture shops, as the shop list file names them.
constexpr wchar_t kShops[] = L"http://www.shop.example/|1000<br>www.gadget.example|1001<br>";
constexpr wchar_t kShopPage[] = L"http://www.shop.example/basket?item=7";
constexpr wchar_t kEmptyShopPage[] = L"http://www.gadget.example/";

struct MenuItem
{
    UINT id;
    std::wstring text;
    bool operator==(const MenuItem&) const = default;
};

void PrintTo(const MenuItem& item, std::ostream* out)
{
    *out << item.id << " " << testing::PrintToString(item.text);
}

std::wstring MenuText(HMENU menu, UINT position)
{
    wchar_t text[256] = {};
    GetMenuStringW(menu, position, text, 256, MF_BYPOSITION);
    return text;
}

// The items of the first submenu, after checking the bar holds exactly one popup named "PopupMenu".
std::vector<MenuItem> PopupItems(const MenuHandle& bar)
{
    EXPECT_EQ(GetMenuItemCount(bar.Get()), 1);
    EXPECT_EQ(MenuText(bar.Get(), 0), L"PopupMenu");
    const HMENU popup = GetSubMenu(bar.Get(), 0);
    EXPECT_NE(popup, nullptr);
    std::vector<MenuItem> items;
    for (int n = 0; popup && n < GetMenuItemCount(popup); ++n)
        items.push_back({GetMenuItemID(popup, n), MenuText(popup, static_cast<UINT>(n))});
    return items;
}

class OffersVouchersTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(StandinPort(), 0) << "run through tools/standin/with_standin.py";
        StandinControl(L"reset?log=1");
        ParseShopList(shops, kShops, SystemHostOfAddress);
        WriteRegistryCredentials(L"demo@example.com", PasswordDigest(L"cashback"));
        Shared().signedIn = 0;
    }
    void TearDown() override
    {
        DeleteKeyTree(HKEY_CURRENT_USER, kSettingsKeyPath);
        Shared().signedIn = 0;
    }

    static int Requests() { return StandinRequestCount(L"get_offer.php") + StandinRequestCount(L"get_voucher.php"); }

    // Lists holding a previous drop-down's items, to see whether a decision touched them.
    static OfferList PreviousOffers()
    {
        OfferList list;
        ParseOffers(list, L"Old offer|1<br>");
        return list;
    }
    static VoucherList PreviousVouchers()
    {
        VoucherList list;
        ParseVouchers(list, L"Old voucher|1|OLD<br>");
        return list;
    }

    ShopList shops;
};

TEST_F(OffersVouchersTest, WithoutALoadedListOrAShopNothingIsAskedAndTheEmptyMenuIsShown)
{
    const ShopList notLoaded;
    struct Case
    {
        const ShopList* list;
        const wchar_t* page;
    };
    const Case cases[] = {
        {&notLoaded, kShopPage},
        {&shops, L"http://elsewhere.example/"},
        {&shops, L""}, // the browser could not tell its address
    };
    for (const Case& c : cases)
    {
        for (const bool signedIn : {false, true})
        {
            SCOPED_TRACE(testing::Message()
                         << testing::PrintToString(std::wstring(c.page)) << " signed in " << signedIn);
            OfferList offers = PreviousOffers();
            const DropDownDecision offerDecision = DecideOffersDropDown(*c.list, c.page, signedIn, offers);
            EXPECT_EQ(offerDecision.kind, DropDownDecision::ShowEmptyMenu);
            EXPECT_FALSE(offerDecision.menu);
            EXPECT_EQ(offers.titles, Texts{L"Old offer"});

            VoucherList vouchers = PreviousVouchers();
            const DropDownDecision voucherDecision = DecideVouchersDropDown(*c.list, c.page, signedIn, vouchers);
            EXPECT_EQ(voucherDecision.kind, DropDownDecision::ShowEmptyMenu);
            EXPECT_EQ(vouchers.titles, Texts{L"Old voucher"});
        }
    }
    EXPECT_EQ(Requests(), 0);
}

TEST_F(OffersVouchersTest, SignedInOffersOfTheShopBecomeTheMenu)
{
    Shared().signedIn = 1;
    OfferList list = PreviousOffers();
    const DropDownDecision decision = DecideOffersDropDown(shops, kShopPage, true, list);
    ASSERT_EQ(decision.kind, DropDownDecision::ShowMenu);
    EXPECT_EQ(StandinRequests(L"get_offer.php"),
              Texts{ServiceBaseUrl() + L"k3tq8w2m/get_offer.php?y=dummy&t=dummy&m=dummy&i=1000&f=dummy&PID=QLBY"});

    const std::vector<MenuItem> expected = {
        {60001, L"Up to 8% cashback on everything"}, {60002, L"Save \u00a310 when you spend &pound;50"},
        {60003, L"\u20ac5 off European delivery"},   {60004, L"\u00a51000 off Japanese imports"},
        {60005, L"Tom &amp; Jerry's toy sale"},
    };
    EXPECT_EQ(PopupItems(decision.menu), expected);
    EXPECT_EQ(list.offerIds, (Texts{L"5001", L"5002", L"5003", L"5004", L"5005"})) << "the old items are gone";
    EXPECT_EQ(list.loaded, 1);

    const std::wstring digest = PasswordDigest(L"cashback");
    const std::wstring link = OfferLink(list, 2);
    EXPECT_EQ(link.rfind(ServiceBaseUrl() + L"k3tq8w2m/tb.php?y=", 0), 0u) << link;
    EXPECT_NE(link.find(L"&t=demo%40example.com&m=" + digest + L"&off=5002&f="), std::wstring::npos) << link;
    EXPECT_NE(link.find(L"&PID=QLBY"), std::wstring::npos) << link;
    EXPECT_EQ(OfferLink(list, 0), L"");
    EXPECT_EQ(OfferLink(list, 6), L"");

    Shared().signedIn = 0; // a link built after signing out takes the signed-out form
    const std::wstring signedOut = OfferLink(list, 1);
    EXPECT_EQ(signedOut.rfind(ServiceBaseUrl() + L"go/?y=", 0), 0u) << signedOut;
    EXPECT_NE(signedOut.find(L"&t=&m=&off=5001&f="), std::wstring::npos) << signedOut;
}

TEST_F(OffersVouchersTest, SignedInVouchersOfTheShopKeepTheirCodes)
{
    Shared().signedIn = 1;
    VoucherList list;
    const DropDownDecision decision = DecideVouchersDropDown(shops, kShopPage, true, list);
    ASSERT_EQ(decision.kind, DropDownDecision::ShowMenu);
    EXPECT_EQ(StandinRequests(L"get_voucher.php"),
              Texts{ServiceBaseUrl() + L"k3tq8w2m/get_voucher.php?y=dummy&t=dummy&m=dummy&i=1000&f=dummy&PID=QLBY"});
    const std::vector<MenuItem> expected = {
        {50001, L"10% off everything"}, {50002, L"\u00a35 off orders over &pound;30"},
        {50003, L"Code with pipes"},    {50004, L"Script code"},
        {50005, L"Quotes code"},
    };
    EXPECT_EQ(PopupItems(decision.menu), expected);
    EXPECT_EQ(list.codes,
              (Texts{L"SAVE10", L"FIVER30", L"A|B|C", L"<script>alert(1)</script>", L"O'Brien \"Q\" \\ end"}));
    EXPECT_EQ(VoucherCode(list, 3), L"A|B|C");
    EXPECT_EQ(VoucherCode(list, 6), L"");

    const std::wstring link = VoucherLink(list, 4);
    EXPECT_NE(link.find(L"k3tq8w2m/tb.php?y="), std::wstring::npos) << link;
    EXPECT_NE(link.find(L"&vou=9004&f="), std::wstring::npos) << link;
    EXPECT_EQ(VoucherLink(list, 0), L"");
}

TEST_F(OffersVouchersTest, SignedInWithoutItemsShowsTheEmptyMenuAndEmptiesTheList)
{
    struct Case
    {
        const wchar_t* control; // stand-in set-up
        const wchar_t* page;
    };
    const Case cases[] = {
        {L"", kEmptyShopPage},                                         // the shop has none
        {L"scenario?set=drop&path=get_", kShopPage},                   // the request fails
        {L"fixture?offers_reply=A|1&vouchers_reply=A|1|C", kShopPage}, // no "<br>"
        {L"fixture?offers_reply=&vouchers_reply=", kShopPage},         // empty answer
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.control);
        StandinControl(L"reset");
        if (*c.control)
            StandinControl(c.control);
        OfferList offers = PreviousOffers();
        const DropDownDecision offerDecision = DecideOffersDropDown(shops, c.page, true, offers);
        EXPECT_EQ(offerDecision.kind, DropDownDecision::ShowEmptyMenu);
        EXPECT_FALSE(offerDecision.menu);
        EXPECT_TRUE(offers.titles.empty());
        EXPECT_EQ(offers.loaded, 1);

        VoucherList vouchers = PreviousVouchers();
        const DropDownDecision voucherDecision = DecideVouchersDropDown(shops, c.page, true, vouchers);
        EXPECT_EQ(voucherDecision.kind, DropDownDecision::ShowEmptyMenu);
        EXPECT_TRUE(vouchers.titles.empty());
    }
}

TEST_F(OffersVouchersTest, SignedOutTheBrowserIsSentOnlyToAWebAddress)
{
    struct Case
    {
        const wchar_t* reply; // the service's whole answer; null: the normal page of records
        const wchar_t* url;   // where the browser goes; null: nowhere, the empty menu instead
    };
    const Case cases[] = {
        {nullptr, nullptr},
        {L"http://www.quillbury.co.uk/go/%3Fshop%3D1000", L"http://www.quillbury.co.uk/go/?shop=1000"},
        {L"HTTPS://www.shop.example/deals", L"HTTPS://www.shop.example/deals"},
        {L"<html><body>http://www.shop.example/deals</body></html>", L"http://www.shop.example/deals"},
        {L"javascript:alert(1)", nullptr},
        {L"<body>javascript:alert(document.cookie)</body>", nullptr},
        {L"", nullptr},
        {L"file:///C:/windows/win.ini", nullptr},
        {L"www.shop.example", nullptr},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.reply ? c.reply : L"(records)");
        StandinControl(L"reset");
        if (c.reply)
            StandinControl(std::wstring(L"fixture?offers_reply=") + c.reply + L"&vouchers_reply=" + c.reply);

        OfferList offers = PreviousOffers();
        const DropDownDecision offerDecision = DecideOffersDropDown(shops, kShopPage, false, offers);
        VoucherList vouchers = PreviousVouchers();
        const DropDownDecision voucherDecision = DecideVouchersDropDown(shops, kShopPage, false, vouchers);
        for (const DropDownDecision* decision : {&offerDecision, &voucherDecision})
        {
            EXPECT_FALSE(decision->menu);
            if (c.url)
            {
                EXPECT_EQ(decision->kind, DropDownDecision::Navigate);
                EXPECT_EQ(decision->url, c.url);
            }
            else
            {
                EXPECT_EQ(decision->kind, DropDownDecision::ShowEmptyMenu);
                EXPECT_EQ(decision->url, L"");
            }
        }
        EXPECT_EQ(offers.titles, Texts{L"Old offer"}) << "a signed-out drop-down leaves the list alone";
        EXPECT_EQ(vouchers.codes, Texts{L"OLD"});
    }
    EXPECT_EQ(Requests(), 2 * static_cast<int>(std::size(cases))) << "signed out, the service is still asked";
}

} // namespace
