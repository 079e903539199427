// The exact addresses the service receives: key order, which values are encoded, the two link forms, the nonce.
#include "net/ServiceUrls.h"

#include <gtest/gtest.h>

#include "core/Text.h"

TEST(ServiceUrls, AddressesCarryTheirKeysInOrder)
{
    const std::wstring n = L"0123456789abcdef0123456789abcdef", tail = L"&f=" + n + L"&PID=QLBY"; // n: the nonce
    const ServiceAccount account{L"anne+shop&co@example.com", L"d943641d1ed7d29e955f36d6327ead93"};
    const std::wstring site = L"http://www.quillbury.co.uk/", script = site + L"k3tq8w2m/";
    const std::wstring signedIn = L"?y=" + n + L"&t=anne%2bshop%26co%40example.com&m=" + account.digest;
    const std::wstring page = L"http://shop.example/basket?id=7&colour=dark red";
    const std::wstring pageKey = L"&curr_url=http%3a%2f%2fshop.example%2fbasket%3fid%3d7%26colour%3ddark+red";
    const std::wstring client = L"&f={6A0C3B55-1D47-4E92-B8F3-2C95D0E1A774}&PID=QLBY";
    const std::wstring dummies = L"?y=dummy&t=dummy&m=dummy&i=s42&f=dummy&PID=QLBY";
    const std::pair<std::wstring, std::wstring> cases[] = {
        {service_urls::CredentialCheck(n, account), script + L"cashback_verify.php" + signedIn + L"&d=" + n + tail},
        {service_urls::PasswordChangeCheck(n, account),
         script + L"pwd_change_verify.php" + signedIn + L"&d=" + n + tail},
        {service_urls::Notice(n, account), script + L"check_notice.php" + signedIn + L"&d=" + n + tail},
        {service_urls::CredentialCheck(n, {}), script + L"cashback_verify.php?y=" + n + L"&t=&m=&d=" + n + tail},
        {service_urls::InstallStatsLeaving(L"old@x.com"), script + L"install_stats.php?y=0&t=old%40x.com" + client},
        {service_urls::InstallStatsNew(L"a b@x.com"), script + L"install_stats.php?y=1&t=a+b%40x.com" + client},
        {service_urls::ShopList(), script + L"get_merchant.php?PID=QLBY"},
        {service_urls::VersionCheck(), script + L"check_version.php?PID=QLBY"},
        {service_urls::Vouchers(L"s42"), script + L"get_voucher.php" + dummies},
        {service_urls::Offers(L"s42"), script + L"get_offer.php" + dummies},
        {service_urls::AccountPage(n, {}), script + L"tb.php?y=" + n + L"&t=&m=" + tail},
        {service_urls::Redirect(n, account, true, L"s42", page),
         script + L"tb.php" + signedIn + L"&i=s42&f=" + n + pageKey + L"&PID=QLBY"},
        {service_urls::Redirect(n, account, false, L"s42", page),
         site + L"go/?y=" + n + L"&t=&m=&i=s42&f=" + n + pageKey},
        {service_urls::ChosenOffer(n, {}, false, L"o9"), site + L"go/?y=" + n + L"&t=&m=&off=o9&f=" + n},
        {service_urls::ChosenVoucher(n, {}, true, L"v3"), script + L"tb.php?y=" + n + L"&t=&m=&vou=v3" + tail},
        {service_urls::SearchPage(L"red & 100% #1?"), site + L"search/red & 100%25 %231%3F\\"},
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
