// The shop list: parsing of "get_merchant.txt" records and the lookup of a page's shop, whose indexed search
// must give exactly the answer of trying every record in turn.
#include "toolbar/ShopList.h"

#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace
{
// A small stand-in for the system URL parser: scheme "://", then the host up to '/', '?', '#' or ':', without
// user information.
std::wstring PortableHost(const std::wstring& address)
{
    const size_t schemeEnd = address.find(L"://");
    if (schemeEnd == std::wstring::npos || schemeEnd == 0)
        return {};
    for (size_t i = 0; i < schemeEnd; ++i)
        if (!((address[i] >= L'a' && address[i] <= L'z') || (address[i] >= L'A' && address[i] <= L'Z')))
            return {};
    const size_t begin = schemeEnd + 3;
    std::wstring authority = address.substr(begin, address.find_first_of(L"/?#", begin) - begin);
    if (const size_t at = authority.rfind(L'@'); at != std::wstring::npos)
        authority.erase(0, at + 1);
    return authority.substr(0, authority.find(L':'));
}

std::vector<ShopRecord> Records(const ShopList& list)
{
    std::vector<ShopRecord> records;
    for (size_t n = 0; n < list.Count(); ++n)
        records.push_back({std::wstring(list.Address(n)), std::wstring(list.Domain(n)), std::wstring(list.ShopId(n))});
    return records;
}

struct ParseCase
{
    const wchar_t* text;
    std::vector<ShopRecord> records;
};

const ParseCase kParseCases[] = {
    {L"http://www.shop.co.uk/|123<br>", {{L"http://www.shop.co.uk/", L"shop.co.uk", L"123"}}},
    {L"www.shop.com|7<br>", {{L"www.shop.com", L"shop.com", L"7"}}},
    {L"shop.com|7<br>", {{L"shop.com", L"", L"7"}}},
    {L"www.|7<br>", {{L"www.", L"", L"7"}}},
    {L"http://www.|7<br>", {{L"http://www.", L"", L"7"}}},
    {L"https://user:pw@www.shop.de:8080/x?q#f|9<br>", {{L"https://user:pw@www.shop.de:8080/x?q#f", L"shop.de", L"9"}}},
    {L"http://WWW.Shop.com|1<br>", {{L"http://WWW.Shop.com", L"WWW.Shop.com", L"1"}}},
    {L"http://a.com|id|with|bars<br>", {{L"http://a.com", L"a.com", L"id|with|bars"}}},
    {L"http://a.com|1<br>http://b.com|2", {{L"http://a.com", L"a.com", L"1"}}},
    {L"no bar here<br>http://b.com|2<br>", {{L"http://b.com", L"b.com", L"2"}}},
    {L"|<br>", {{L"", L"", L""}}},
    {L"<br><br>http://a.com|<br>", {{L"http://a.com", L"a.com", L""}}},
    {L"http://a.com|1<BR>", {}},
    {L"http://a.com|1", {}},
    {L"", {}},
};

TEST(ShopList, ParsesRecordsAsTheFileFormatSays)
{
    for (const ParseCase& test : kParseCases)
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(test.text)));
        ShopList list;
        EXPECT_FALSE(list.IsLoaded());
        ParseShopList(list, test.text, PortableHost);
        EXPECT_TRUE(list.IsLoaded());
        EXPECT_EQ(Records(list), test.records);
    }
}

TEST(ShopList, ParsingAppendsWithoutChangingAListThatSharesTheRecords)
{
    ShopList first;
    ParseShopList(first, L"http://a.com|1<br>", PortableHost);
    ShopList second;
    second.Append(first.Table());
    EXPECT_EQ(second.Table(), first.Table()) << "an empty list takes the records without copying";

    ParseShopList(second, L"http://b.com|2<br>http://a.com|3<br>", PortableHost);
    const std::vector<ShopRecord> expected = {
        {L"http://a.com", L"a.com", L"1"}, {L"http://b.com", L"b.com", L"2"}, {L"http://a.com", L"a.com", L"3"}};
    EXPECT_EQ(Records(second), expected);
    EXPECT_EQ(Records(first), std::vector<ShopRecord>(expected.begin(), expected.begin() + 1));
    EXPECT_EQ(FindShop(second, L"b.com")->shopId, L"2");
    EXPECT_FALSE(FindShop(first, L"b.com"));

    first.Append(second.Table());
    EXPECT_EQ(first.Count(), 4u);
    EXPECT_EQ(FindShop(first, L"http://b.com/")->shopId, L"2");
}

// A parser whose hosts are not part of their addresses: such domains are kept apart from the file's text, and
// the parsing must carry on over a text that has moved meanwhile.
std::wstring RenamingHost(const std::wstring& address)
{
    return L"Z" + address.substr(address.find(L':') + 1);
}

TEST(ShopList, KeepsDomainsThatAreNotPartOfTheirAddress)
{
    std::wstring text;
    for (int n = 0; n < 300; ++n)
        text += L"odd:shop" + std::to_wstring(n) + L"|" + std::to_wstring(n) + L"<br>";
    ShopList list;
    ParseShopList(list, text, RenamingHost);
    ASSERT_EQ(list.Count(), 300u);
    EXPECT_EQ(list.Address(299), L"odd:shop299");
    EXPECT_EQ(list.Domain(299), L"Zshop299");
    EXPECT_EQ(list.ShopId(299), L"299");
    EXPECT_EQ(FindShop(list, L"http://Zshop123/")->shopId, L"1") << "the earliest record whose domain occurs";
    EXPECT_EQ(FindShop(list, L"Zshop7/"), FindShopByScan(list, L"Zshop7/"));
}

struct FindCase
{
    const wchar_t* list;
    const wchar_t* text;
    const wchar_t* shopId; // null: no shop
};

const FindCase kFindCases[] = {
    {L"http://www.shop.com/|A<br>", L"http://www.shop.com/basket", L"A"},
    {L"http://www.shop.com/|A<br>", L"shop.com", L"A"},
    {L"http://www.shop.com/|A<br>", L"shop.co", nullptr},
    {L"http://www.shop.com/|A<br>", L"", nullptr},
    {L"http://www.shop.com/|A<br>", L"HTTP://WWW.SHOP.COM/", nullptr},
    {L"http://www.shop.com/|A<br>", L"www.myshop.com", L"A"},
    {L"http://www.shop.com/|A<br>", L"http://example.org/?from=shop.com", L"A"},
    {L"http://shop.com|A<br>http://www.bigshop.com|B<br>", L"http://www.bigshop.com/", L"A"},
    {L"http://www.bigshop.com|B<br>http://shop.com|A<br>", L"http://www.bigshop.com/", L"B"},
    {L"http://x.org|1<br>http://shop.com|2<br>http://shop.com|3<br>", L"shop.com", L"2"},
    {L"shop.com|E<br>www.|F<br>", L"shop.com www.", nullptr},
    {L"shop.com|E<br>http://shop.com|G<br>", L"shop.com", L"G"},
};

TEST(ShopList, FindsTheFirstRecordWhoseDomainOccursInTheText)
{
    for (const FindCase& test : kFindCases)
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(test.list) + L" / " + test.text));
        ShopList list;
        ParseShopList(list, test.list, PortableHost);
        const std::optional<ShopRecord> found = FindShop(list, test.text);
        EXPECT_EQ(found, FindShopByScan(list, test.text));
        EXPECT_EQ(found ? found->shopId : L"(none)", test.shopId ? test.shopId : L"(none)");
    }
}

TEST(ShopList, FindsNothingInAnEmptyOrUnloadedList)
{
    ShopList list;
    EXPECT_FALSE(FindShop(list, L"http://www.shop.com/"));
    ParseShopList(list, L"", PortableHost);
    EXPECT_FALSE(FindShop(list, L"http://www.shop.com/"));
}

// Random lists and texts over a tiny alphabet, so that domains overlap, repeat and occur many times in a text;
// the alphabet holds code units above 0x7FFF too. Lists of several sizes exercise the growth of the index.
TEST(ShopList, IndexedLookupAgreesWithTheScanOnRandomLists)
{
    std::mt19937 random(20240611u);
    const std::wstring alphabet = {L'a', L'b', L'.', L'c', wchar_t{0xE9}, wchar_t{0xD800}, wchar_t{0xFFFF}};
    auto pick = [&](size_t limit) { return static_cast<size_t>(random() % limit); };
    auto word = [&](size_t longest)
    {
        std::wstring text;
        for (size_t n = pick(longest + 1); n > 0; --n)
            text.push_back(alphabet[pick(alphabet.size())]);
        return text;
    };
    size_t matches = 0;
    for (const size_t records : {1u, 5u, 40u, 300u, 2000u})
    {
        std::wstring file;
        for (size_t n = 0; n < records; ++n)
        {
            const size_t kind = pick(10);
            const std::wstring host = word(kind == 0 ? 40 : 7);
            file += (kind == 1 ? L"" : kind == 2 ? L"www." : L"http://") + host + L"|" + std::to_wstring(n) + L"<br>";
        }
        ShopList list;
        ParseShopList(list, file, PortableHost);
        ASSERT_EQ(list.Count(), records);
        for (int round = 0; round < 300; ++round)
        {
            const std::wstring text = word(round % 50 == 0 ? 1200 : 30);
            SCOPED_TRACE(testing::PrintToString(text));
            const std::optional<ShopRecord> found = FindShop(list, text);
            ASSERT_EQ(found, FindShopByScan(list, text)) << records << " records";
            matches += found ? 1u : 0u;
        }
    }
    EXPECT_GT(matches, 500u) << "the comparison needs many texts that match";
}
} // namespace
