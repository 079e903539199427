// The exact addresses the service receives: key order, which values are encoded, the two link forms.
#include "net/ServiceUrls.h"

#include <gtest/gtest.h>

#include "core/Text.h"

namespace
{
const std::wstring kNonce = L"0123456789abcdef0123456789abcdef";
const ServiceAccount kAccount{L"anne+shop&co@example.com", L"d943641d1ed7d29e955f36d6327ead93"};
const ServiceAccount kNoAccount{};
const std::wstring kBase = L"http://www.quillbury.co.uk/";

TEST(ServiceUrls, ConfigurationValues)
{
    EXPECT_EQ(ServiceBaseUrl(), kBase);
    EXPECT_EQ(ServiceDomain(), L"quillbury.co.uk");
    EXPECT_EQ(kBase.find(ServiceDomain()), std::wstring(L"http://www.").size()) << "the host ends in the domain";
}

TEST(ServiceUrls, RequestsCarryTheirKeysInOrder)
{
    const std::wstring email = L"anne%2bshop%26co%40example.com";
    const std::wstring account = L"?y=" + kNonce + L"&t=" + email + L"&m=d943641d1ed7d29e955f36d6327ead93&d=" + kNonce +
                                 L"&f=" + kNonce + L"&PID=QLBY";
    struct Case
    {
        std::wstring actual;
        std::wstring expected;
    };
    const Case cases[] = {
        {service_urls::CredentialCheck(kNonce, kAccount), kBase + L"k3tq8w2m/cashback_verify.php" + account},
        {service_urls::PasswordChangeCheck(kNonce, kAccount), kBase + L"k3tq8w2m/pwd_change_verify.php" + account},
        {service_urls::Notice(kNonce, kAccount), kBase + L"k3tq8w2m/check_notice.php" + account},
        {service_urls::CredentialCheck(kNonce, kNoAccount),
         kBase + L"k3tq8w2m/cashback_verify.php?y=" + kNonce + L"&t=&m=&d=" + kNonce + L"&f=" + kNonce + L"&PID=QLBY"},
        {service_urls::InstallStatsLeaving(L"old@example.com"),
         kBase +
             L"k3tq8w2m/install_stats.php?y=0&t=old%40example.com&f={6A0C3B55-1D47-4E92-B8F3-2C95D0E1A774}&PID=QLBY"},
        {service_urls::InstallStatsNew(L"a b@example.com"),
         kBase +
             L"k3tq8w2m/install_stats.php?y=1&t=a+b%40example.com&f={6A0C3B55-1D47-4E92-B8F3-2C95D0E1A774}&PID=QLBY"},
        {service_urls::ShopList(), kBase + L"k3tq8w2m/get_merchant.php?PID=QLBY"},
        {service_urls::VersionCheck(), kBase + L"k3tq8w2m/check_version.php?PID=QLBY"},
        {service_urls::Vouchers(L"s42"),
         kBase + L"k3tq8w2m/get_voucher.php?y=dummy&t=dummy&m=dummy&i=s42&f=dummy&PID=QLBY"},
        {service_urls::Offers(L"s42"),
         kBase + L"k3tq8w2m/get_offer.php?y=dummy&t=dummy&m=dummy&i=s42&f=dummy&PID=QLBY"},
        {service_urls::AccountPage(kNonce, kNoAccount),
         kBase + L"k3tq8w2m/tb.php?y=" + kNonce + L"&t=&m=&f=" + kNonce + L"&PID=QLBY"},
    };
    for (const auto& test : cases)
    {
        SCOPED_TRACE(testing::PrintToString(test.expected));
        EXPECT_EQ(test.actual, test.expected);
    }
}

TEST(ServiceUrls, RedirectLinksSignedInAndOut)
{
    const std::wstring page = L"http://shop.example/basket?id=7&colour=dark red";
    const std::wstring encodedPage = L"http%3a%2f%2fshop.example%2fbasket%3fid%3d7%26colour%3ddark+red";
    EXPECT_EQ(service_urls::Redirect(kNonce, kAccount, true, L"s42", page),
              kBase + L"k3tq8w2m/tb.php?y=" + kNonce + L"&t=anne%2bshop%26co%40example.com&m=" + kAccount.digest +
                  L"&i=s42&f=" + kNonce + L"&curr_url=" + encodedPage + L"&PID=QLBY");
    const std::wstring signedOut = service_urls::Redirect(kNonce, kAccount, false, L"s42", page);
    EXPECT_EQ(signedOut, kBase + L"go/?y=" + kNonce + L"&t=&m=&i=s42&f=" + kNonce + L"&curr_url=" + encodedPage);
    EXPECT_EQ(signedOut.find(L"PID=QLBY"), std::wstring::npos);

    EXPECT_EQ(service_urls::ChosenOffer(kNonce, kNoAccount, false, L"o9"),
              kBase + L"go/?y=" + kNonce + L"&t=&m=&off=o9&f=" + kNonce);
    EXPECT_EQ(service_urls::ChosenVoucher(kNonce, kNoAccount, true, L"v3"),
              kBase + L"k3tq8w2m/tb.php?y=" + kNonce + L"&t=&m=&vou=v3&f=" + kNonce + L"&PID=QLBY");
}

TEST(ServiceUrls, SitePages)
{
    EXPECT_EQ(service_urls::HomePage(), kBase);
    EXPECT_EQ(service_urls::SearchPage(L"red shoes & bags"), kBase + L"search/red shoes & bags\\");
    EXPECT_EQ(service_urls::SearchPage(L"100% #1?"), kBase + L"search/100%25 %231%3F\\");
    EXPECT_EQ(service_urls::HotDealsPage(), kBase + L"hot_deals/");
    EXPECT_EQ(service_urls::FreeCashbackPage(), kBase + L"free_cashback/");
    EXPECT_EQ(service_urls::RegistrationPage(), kBase + L"register/");
    EXPECT_EQ(service_urls::PasswordReminderPage(), L"https://www.quillbury.co.uk/get_password/");
}

TEST(RequestNonce, IsTheDigestOfTheAsctimeText)
{
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 6;
    t.tm_wday = 0;
    t.tm_hour = 7;
    t.tm_min = 4;
    t.tm_sec = 9;
    EXPECT_EQ(AsctimeText(t), "Sun Dec 06 07:04:09 2026\n");
    EXPECT_EQ(AsctimeText(t).size(), 25u);
    EXPECT_EQ(RequestNonceFor(t), NarrowToWide(Md5Hex("Sun Dec 06 07:04:09 2026\n")));
    std::tm later = t;
    later.tm_sec = 10;
    EXPECT_NE(RequestNonceFor(later), RequestNonceFor(t)) << "changes once a second";
}
} // namespace
