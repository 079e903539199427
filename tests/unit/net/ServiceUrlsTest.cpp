// The service's signed-out links, which no scenario or shop visit spells out, and the nonce.
#include "net/ServiceUrls.h"

#include <gtest/gtest.h>

#include "core/Text.h"

TEST(ServiceUrls, SignedOutLinksCarryEmptyAccountKeys)
{
    const std::wstring n = L"0123456789abcdef0123456789abcdef", site = L"http://www.quillbury.co.uk/";
    const std::pair<std::wstring, std::wstring> cases[] = {
        {service_urls::AccountPage(n, {}), site + L"k3tq8w2m/tb.php?y=" + n + L"&t=&m=&f=" + n + L"&PID=QLBY"},
        {service_urls::ChosenOffer(n, {}, false, L"o9"), site + L"go/?y=" + n + L"&t=&m=&off=o9&f=" + n},
        {service_urls::ChosenVoucher(n, {}, true, L"v3"),
         site + L"k3tq8w2m/tb.php?y=" + n + L"&t=&m=&vou=v3&f=" + n + L"&PID=QLBY"},
    };
    for (const auto& [actual, expected] : cases)
        EXPECT_EQ(actual, expected);
}

TEST(ServiceUrls, NonceIsTheDigestOfTheAsctimeText)
{
    std::tm t{}; // a Sunday
    t.tm_year = 126, t.tm_mon = 11, t.tm_mday = 6, t.tm_hour = 7, t.tm_min = 4, t.tm_sec = 9;
    EXPECT_EQ(AsctimeText(t), "Sun Dec 06 07:04:09 2026\n");
    EXPECT_EQ(RequestNonceFor(t), NarrowToWide(Md5Hex("Sun Dec 06 07:04:09 2026\n")));
}
