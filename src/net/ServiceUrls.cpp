#include "net/ServiceUrls.h"

#include "core/Text.h"
#include "net/ServiceConfig.h"

namespace
{
constexpr wchar_t kScripts[] = L"k3tq8w2m/";
constexpr wchar_t kPartner[] = L"PID=QLBY";
constexpr wchar_t kClientId[] = L"&f={6A0C3B55-1D47-4E92-B8F3-2C95D0E1A774}";

std::wstring Script(const wchar_t* pathAndFirstKey)
{
    return ServiceBaseUrl() + kScripts + pathAndFirstKey;
}

// "?y=N&t=email&m=digest&d=N&f=N&PID=QLBY" after a script name.
std::wstring AccountQuery(const wchar_t* script, const std::wstring& nonce, const ServiceAccount& account)
{
    return Script(script) + L"?y=" + nonce + L"&t=" + UrlEncode(account.email) + L"&m=" + account.digest + L"&d=" +
           nonce + L"&f=" + nonce + L"&" + kPartner;
}

// The two forms of a link that takes the user through the service: signed in, with the account; signed
// out, through "go/" with empty account values and no partner pair.
std::wstring TrackedLink(const std::wstring& nonce, const ServiceAccount& account, bool signedIn,
                         const std::wstring& item, const std::wstring& tail)
{
    if (signedIn)
        return Script(L"tb.php?y=") + nonce + L"&t=" + UrlEncode(account.email) + L"&m=" + account.digest + item +
               L"&f=" + nonce + tail + L"&" + kPartner;
    return ServiceBaseUrl() + L"go/?y=" + nonce + L"&t=&m=" + item + L"&f=" + nonce + tail;
}
} // namespace

const std::wstring& ServiceBaseUrl()
{
    static const std::wstring value = QB_SERVICE_BASE_URL;
    return value;
}

const std::wstring& ServiceDomain()
{
    static const std::wstring value = QB_SERVICE_DOMAIN;
    return value;
}

const std::wstring& TwitterPageUrl()
{
    static const std::wstring value = QB_TWITTER_PAGE_URL;
    return value;
}

const std::wstring& FacebookPageUrl()
{
    static const std::wstring value = QB_FACEBOOK_PAGE_URL;
    return value;
}

std::string AsctimeText(const std::tm& t)
{
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    auto two = [](int value)
    {
        std::string text(2, '0');
        text[0] = static_cast<char>('0' + (value / 10) % 10);
        text[1] = static_cast<char>('0' + value % 10);
        return text;
    };
    const auto day = static_cast<size_t>(t.tm_wday >= 0 && t.tm_wday < 7 ? t.tm_wday : 0);
    const auto month = static_cast<size_t>(t.tm_mon >= 0 && t.tm_mon < 12 ? t.tm_mon : 0);
    return std::string(kDays[day]) + " " + kMonths[month] + " " + two(t.tm_mday) + " " + two(t.tm_hour) + ":" +
           two(t.tm_min) + ":" + two(t.tm_sec) + " " + std::to_string(1900 + t.tm_year) + "\n";
}

std::wstring RequestNonceFor(const std::tm& localTime)
{
    return NarrowToWide(Md5Hex(AsctimeText(localTime)));
}

namespace service_urls
{
std::wstring CredentialCheck(const std::wstring& nonce, const ServiceAccount& account)
{
    return AccountQuery(L"cashback_verify.php", nonce, account);
}

std::wstring InstallStatsLeaving(const std::wstring& previousEmail)
{
    return Script(L"install_stats.php?y=0&t=") + UrlEncode(previousEmail) + kClientId + L"&" + kPartner;
}

std::wstring InstallStatsNew(const std::wstring& typedEmail)
{
    return Script(L"install_stats.php?y=1&t=") + UrlEncode(typedEmail) + kClientId + L"&" + kPartner;
}

std::wstring PasswordChangeCheck(const std::wstring& nonce, const ServiceAccount& account)
{
    return AccountQuery(L"pwd_change_verify.php", nonce, account);
}

std::wstring Notice(const std::wstring& nonce, const ServiceAccount& account)
{
    return AccountQuery(L"check_notice.php", nonce, account);
}

std::wstring ShopList()
{
    return Script(L"get_merchant.php?") + kPartner;
}

std::wstring VersionCheck()
{
    return Script(L"check_version.php?") + kPartner;
}

std::wstring Vouchers(const std::wstring& shopId)
{
    return Script(L"get_voucher.php?y=dummy&t=dummy&m=dummy&i=") + shopId + L"&f=dummy&" + kPartner;
}

std::wstring Offers(const std::wstring& shopId)
{
    return Script(L"get_offer.php?y=dummy&t=dummy&m=dummy&i=") + shopId + L"&f=dummy&" + kPartner;
}

std::wstring Redirect(const std::wstring& nonce, const ServiceAccount& account, bool signedIn,
                      const std::wstring& shopId, const std::wstring& pageUrl)
{
    return TrackedLink(nonce, account, signedIn, L"&i=" + shopId, L"&curr_url=" + UrlEncode(pageUrl));
}

std::wstring ChosenOffer(const std::wstring& nonce, const ServiceAccount& account, bool signedIn,
                         const std::wstring& offerId)
{
    return TrackedLink(nonce, account, signedIn, L"&off=" + offerId, L"");
}

std::wstring ChosenVoucher(const std::wstring& nonce, const ServiceAccount& account, bool signedIn,
                           const std::wstring& voucherId)
{
    return TrackedLink(nonce, account, signedIn, L"&vou=" + voucherId, L"");
}

std::wstring AccountPage(const std::wstring& nonce, const ServiceAccount& account)
{
    return Script(L"tb.php?y=") + nonce + L"&t=" + UrlEncode(account.email) + L"&m=" + account.digest + L"&f=" + nonce +
           L"&" + kPartner;
}

std::wstring HomePage()
{
    return ServiceBaseUrl();
}

std::wstring SearchPage(const std::wstring& searchText)
{
    std::wstring path;
    path.reserve(searchText.size());
    for (const wchar_t c : searchText)
    {
        if (c == L'%')
            path += L"%25";
        else if (c == L'#')
            path += L"%23";
        else if (c == L'?')
            path += L"%3F";
        else
            path += c;
    }
    return ServiceBaseUrl() + L"search/" + path + L"\\";
}

std::wstring HotDealsPage()
{
    return ServiceBaseUrl() + L"hot_deals/";
}

std::wstring TopVouchersPage()
{
    return ServiceBaseUrl() + L"top_vouchers/";
}

std::wstring TopShopsPage()
{
    return ServiceBaseUrl() + L"top_shops/";
}

std::wstring FreeCashbackPage()
{
    return ServiceBaseUrl() + L"free_cashback/";
}

std::wstring RegistrationPage()
{
    return ServiceBaseUrl() + L"register/";
}

std::wstring PasswordReminderPage()
{
    const std::wstring& base = ServiceBaseUrl();
    const std::wstring plain = L"http://";
    const std::wstring host = base.compare(0, plain.size(), plain) == 0 ? base.substr(plain.size()) : base;
    return L"https://" + host + L"get_password/";
}
} // namespace service_urls
