// HostFromUrl: the split of a page address, its limits, and what cannot be split. Its invariants are fuzzed.
#include "browser/HostFromUrl.h"

#include <gtest/gtest.h>

TEST(HostFromUrl, TakesTheHostAsWrittenWithinItsLimits)
{
    const auto repeat = [](size_t count, wchar_t c) { return std::wstring(count, c); };
    const std::pair<std::wstring, std::optional<std::wstring>> cases[] = {
        {L"http://WWW.Shop.COM/Path", L"WWW.Shop.COM"},
        {L"http://shop.com#top", L"shop.com#top"}, // only ":", "/" and "?" end the host
        {L"my-app+x.y://host/", L"host"},
        {L"FILE:///C:/pages/shop.htm", L""}, // only "file" may have an empty host
        {L"res:///x", std::nullopt},
        {L"http://a@b:pw@shop.com:8080/a", L"shop.com"}, // after the last "@" before the path
        {L"http://shop.com/login?mail=a@b.c", L"shop.com"},
        {L"http://shop.com:/", L"shop.com"},
        {L"http://shop.com:65535?q", L"shop.com"},
        {L"http://shop.com:65536/", std::nullopt},
        {L"http://shop.com:000080/", std::nullopt},
        {L"http://shop.com:80a/", std::nullopt},
        {L"1http://shop.com", std::nullopt},
        {L"shop.com:8080/page", std::nullopt},
        {L"http:/shop.com", std::nullopt},
        {repeat(32, L's') + L"://h/", L"h"},
        {repeat(33, L's') + L"://h/", std::nullopt},
        {L"http://" + repeat(256, L'h') + L"/", repeat(256, L'h')},
        {L"http://" + repeat(257, L'h') + L"/", std::nullopt},
        {L"http://" + repeat(128, L'u') + L":" + repeat(128, L'p') + L"@h/", L"h"},
        {L"http://" + repeat(129, L'u') + L"@h/", std::nullopt},
        {L"http://u:" + repeat(129, L'p') + L"@h/", std::nullopt},
        {L"http://h" + repeat(2048, L'/') + L"?" + repeat(2047, L'x'), L"h"},
        {L"http://h" + repeat(2049, L'/'), std::nullopt},
        {L"http://h/?" + repeat(2048, L'x'), std::nullopt},
        {L"http://h/#" + repeat(2048, L'x'), std::nullopt}};
    for (const auto& [url, host] : cases)
        EXPECT_EQ(HostFromUrl(url), host) << testing::PrintToString(url.substr(0, 60));
}
