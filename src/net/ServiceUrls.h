// Every address the add-on sends to the cashback service or hands to the browser, built by plain
// concatenation in the exact key order the service expects. Portable: the caller supplies the nonce, the
// account and the signed-in flag (see ServiceRequests.h for the versions that read them from the system).
//
// Values are sent as they are (hexadecimal digests, nonces, identifiers the service gave us), except two
// things a person typed: the e-mail address is percent-encoded wherever it is a query value, and the page
// address of a redirect link is percent-encoded whole.
#pragma once

#include <ctime>
#include <string>

struct ServiceAccount
{
    std::wstring email;
    std::wstring digest;
};

// Configuration values (build-time).
[[nodiscard]] const std::wstring& ServiceBaseUrl();
[[nodiscard]] const std::wstring& ServiceDomain();
[[nodiscard]] const std::wstring& TwitterPageUrl();
[[nodiscard]] const std::wstring& FacebookPageUrl();

// The nonce for a local time: MD5 of its 25-character asctime text ("Sun Dec 06 07:24:37 2026\n").
[[nodiscard]] std::wstring RequestNonceFor(const std::tm& localTime);
[[nodiscard]] std::string AsctimeText(const std::tm& localTime);

namespace service_urls
{
// Requests the add-on fetches itself.
[[nodiscard]] std::wstring CredentialCheck(const std::wstring& nonce, const ServiceAccount& account);
[[nodiscard]] std::wstring InstallStatsLeaving(const std::wstring& previousEmail);
[[nodiscard]] std::wstring InstallStatsNew(const std::wstring& typedEmail);
[[nodiscard]] std::wstring PasswordChangeCheck(const std::wstring& nonce, const ServiceAccount& account);
[[nodiscard]] std::wstring Notice(const std::wstring& nonce, const ServiceAccount& account);
[[nodiscard]] std::wstring ShopList();
[[nodiscard]] std::wstring VersionCheck();
[[nodiscard]] std::wstring Vouchers(const std::wstring& shopId);
[[nodiscard]] std::wstring Offers(const std::wstring& shopId);

// Addresses opened in the browser.
[[nodiscard]] std::wstring Redirect(const std::wstring& nonce, const ServiceAccount& account, bool signedIn,
                                    const std::wstring& shopId, const std::wstring& pageUrl);
[[nodiscard]] std::wstring ChosenOffer(const std::wstring& nonce, const ServiceAccount& account, bool signedIn,
                                       const std::wstring& offerId);
[[nodiscard]] std::wstring ChosenVoucher(const std::wstring& nonce, const ServiceAccount& account, bool signedIn,
                                         const std::wstring& voucherId);
[[nodiscard]] std::wstring AccountPage(const std::wstring& nonce, const ServiceAccount& account);

// Site pages.
[[nodiscard]] std::wstring HomePage();
// The search text as typed, but with '%', '#' and '?' encoded so they cannot change the address's structure.
[[nodiscard]] std::wstring SearchPage(const std::wstring& searchText);
[[nodiscard]] std::wstring HotDealsPage();
[[nodiscard]] std::wstring TopVouchersPage();
[[nodiscard]] std::wstring TopShopsPage();
[[nodiscard]] std::wstring FreeCashbackPage();
[[nodiscard]] std::wstring RegistrationPage();
[[nodiscard]] std::wstring PasswordReminderPage();
} // namespace service_urls
