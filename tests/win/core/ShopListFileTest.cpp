// "get_merchant.txt" read through the runtime's text mode, and one parsed copy shared while the file is unchanged.
#include "toolbar/ShopListFile.h"

#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

#include "settings/VistaSupport.h"
#include "support/TestSupport.h"

namespace
{
std::vector<ShopRecord> Records(const ShopList& list)
{
    std::vector<ShopRecord> records;
    for (size_t n = 0; n < list.Count(); ++n)
        records.push_back({std::wstring(list.Address(n)), std::wstring(list.Domain(n)), std::wstring(list.ShopId(n))});
    return records;
}

TEST(ShopListFile, LoadsWhatTheRuntimesTextModeReadsInTheThreadsCodePage)
{
    const std::wstring path = DataFilePath(L"get_merchant.txt");
    const std::pair<std::string, std::vector<ShopRecord>> cases[] = {
        {"https://u:pw@www.shop.de:8080/x|9<br>", {{L"https://u:pw@www.shop.de:8080/x", L"shop.de", L"9"}}},
        {"http://a.com|1<br>\r\nhttp://b.com|2<br>", {}}, // a CR LF pair (or Ctrl-Z) reads short
        {"http://a.com|1\r<br>", {{L"http://a.com", L"a.com", L"1\r"}}},
        {std::string("http://a.com|1<br>\0http://b.com|2<br>", 36), {{L"http://a.com", L"a.com", L"1"}}},
        {"http://a.com|\xA3 5 \x80<br>", {{L"http://a.com", L"a.com", L"\u00A3 5 \u20AC"}}},
    };
    for (const auto& [bytes, records] : cases)
    {
        ShopList list;
        ASSERT_TRUE(WriteFileBytes(path, bytes));
        LoadShopList(list, path);
        EXPECT_EQ(Records(list), records) << testing::PrintToString(bytes);
    }
    ShopList missing;
    LoadShopList(missing, path + L".absent");
    EXPECT_TRUE(missing.IsLoaded() && missing.Count() == 0);
}

TEST(ShopListFile, ListsOfTheSameUnchangedFileShareOneCopy)
{
    const std::wstring path = DataFilePath(L"get_merchant.txt");
    ShopList first, second, resized, retimed;
    ASSERT_TRUE(WriteFileBytes(path, "http://a.com|1<br>") && SetLastWriteTime(path, L"-1"));
    LoadShopList(first, path);
    LoadShopList(second, path);
    EXPECT_EQ(first.Table(), second.Table());
    ASSERT_TRUE(WriteFileBytes(path, "http://c.com|333<br>") && SetLastWriteTime(path, L"-1"));
    LoadShopList(resized, path);
    ASSERT_TRUE(WriteFileBytes(path, "http://d.com|444<br>") && SetLastWriteTime(path, L"-2"));
    LoadShopList(retimed, path);
    EXPECT_EQ(Records(resized).at(0).shopId + Records(retimed).at(0).shopId, L"333444") << "the size, then the time";
}

// A worker replaces the list while the toolbars of other tabs read it.
TEST(ShopListFile, IsReplacedWhileTabsReadIt)
{
    const std::wstring path = DataFilePath(L"get_merchant.txt");
    std::atomic<bool> done = false;
    std::jthread reader(
        [&]
        {
            while (!done)
                LoadShopList(*std::make_unique<ShopList>(), path);
        });
    for (unsigned n = 0; n < 300 && !HasFailure(); ++n)
        EXPECT_TRUE(StoreShopListFile(path, reinterpret_cast<const unsigned char*>("x|1<br>"), 7 - n % 2)) << n;
    done = true;
    EXPECT_EQ(DataFiles(L"*.tmp"), std::vector<std::wstring>{});
}
} // namespace
