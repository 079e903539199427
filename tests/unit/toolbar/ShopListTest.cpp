// The shop list: the domains of its records, which addresses go to the URL parser, and the lookup's rule.
#include "toolbar/ShopList.h"

#include <gtest/gtest.h>

#include "browser/HostFromUrl.h"

// A URL parser whose answers are told apart, by a "!", from the hosts taken straight from plain addresses.
static std::wstring MarkedHost(const std::wstring& address)
{
    const std::wstring host = HostFromUrl(address).value_or(L"");
    return host.empty() ? host : host + L"!";
}

// Each record as "address>domain>identifier;".
static std::wstring Records(const std::wstring& text)
{
    ShopList list;
    ParseShopList(list, text, MarkedHost);
    std::wstring records = list.IsLoaded() ? L"" : L"not loaded";
    for (size_t n = 0; n < list.Count(); ++n)
        records.append(list.Address(n)).append(L">").append(list.Domain(n)).append(L">").append(list.ShopId(n)) += L";";
    return records;
}

TEST(ShopList, RecordsAndTheirDomains)
{
    const std::wstring h(255, L'h');
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"www.shop.com|7|8<br>shop.com|8<br>", L"www.shop.com>shop.com>7|8;shop.com>>8;"},
        {L"http://WWW.Shop.com|1<br>", L"http://WWW.Shop.com>WWW.Shop.com!>1;"},
        {L"https://a-b.c|1<br>http://a-|2<br>", L"https://a-b.c>a-b.c>1;http://a->a-!>2;"},
        {L"http://" + h + L"|1<br>", L"http://" + h + L">" + h + L">1;"},
        {L"http://" + h + L"h|1<br>", L"http://" + h + L"h>" + h + L"h!>1;"},
        {L"no bar<br>|<br><br>A|1<BR>x|2", L">>;"},
    };
    for (const auto& [text, records] : cases)
        EXPECT_EQ(Records(text), records) << testing::PrintToString(text.substr(0, 40));
}

TEST(ShopList, FindsTheFirstRecordInListOrderWhoseDomainOccursInTheText)
{
    ShopList list;
    EXPECT_FALSE(list.IsLoaded() || FindShop(list, L"shop.com"));
    ParseShopList(list, L"http://x.org|1<br>shop.com|E<br>http://www.shop.com/|A<br>http://bigshop.com|B<br>",
                  MarkedHost);
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {{L"http://www.shop.com/basket", L"A"},
                                                               {L"http://bigshop.com/", L"A"},
                                                               {L"shop.com x.org", L"1"},
                                                               {L"shop.co", L"-"},
                                                               {L"HTTP://WWW.SHOP.COM/", L"-"},
                                                               {L"", L"-"}};
    for (const auto& [text, shopId] : cases)
        EXPECT_EQ(FindShop(list, text).value_or(ShopRecord{L"", L"", L"-"}).shopId, shopId) << text;
}
