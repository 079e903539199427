#include "workers/MainWorker.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <ctime>

#include "core/ErrorReport.h"
#include "core/ScopedHandle.h"
#include "module/Module.h"
#include "module/ProcessObjects.h"
#include "net/ServiceRequests.h"
#include "net/WinHttpClient.h"
#include "resources/resource.h"
#include "settings/AccountLock.h"
#include "settings/AccountStore.h"
#include "settings/Registry.h"
#include "settings/VistaSupport.h"
#include "toolbar/ShopListFile.h"
#include "workers/Replies.h"

namespace
{
constexpr wchar_t kUserAgent[] = L"Mozilla/4.0";
constexpr wchar_t kDeclinedDay[] = L"ver_upd_not_day";

// Whether the stores still hold the account a request was sent for (the user may have signed in as another
// while it was under way). Called under the account lock.
bool StillStored(const std::wstring& email, const std::wstring& digest)
{
    std::wstring storedEmail, storedDigest;
    ReadRegistryCredentials(storedEmail, storedDigest);
    return storedEmail == email && storedDigest == digest;
}

void ShowConnectionMessage()
{
    MessageBoxW(nullptr, L"The server could not be reached at the moment. Please try again later.", L"Error",
                MB_OK | MB_ICONHAND);
}

void CheckPasswordChange(const std::wstring& nonce, const std::wstring& email, const std::wstring& digest)
{
    if (email.empty() || digest.empty())
        return;
    std::wstring reply;
    if (!FetchServiceAnswer(service_urls::PasswordChangeCheck(nonce, {email, digest}), reply))
    {
        ShowConnectionMessage();
        return;
    }
    const auto change = ParsePasswordChange(reply, email, digest);
    if (!change)
        return;
    const AccountWriteLock lock;
    if (!StillStored(email, digest))
        return;
    WriteIniCredentials(change->email, change->digest);
    WriteRegistryCredentials(change->email, change->digest);
}

void VerifyAccount(const std::wstring& nonce, const std::wstring& email, const std::wstring& digest)
{
    SharedBlock& shared = Shared();
    if (shared.signedIn != 0 || email.empty() || digest.empty())
        return;
    std::wstring reply;
    if (!FetchServiceAnswer(service_urls::CredentialCheck(nonce, {email, digest}), reply))
    {
        ShowConnectionMessage();
        return;
    }
    const Verification verification = ParseVerification(reply);
    // The login dialog stores a new account and clears the old one's results under the same lock, so results
    // published here are never those of an account that was left.
    const AccountWriteLock lock;
    if (verification.outcome == VerifyOutcome::NoAnswer || !StillStored(email, digest))
        return;
    switch (verification.outcome)
    {
    case VerifyOutcome::NoAnswer:
        return;
    case VerifyOutcome::NotRegistered:
        shared.signedIn = 0;
        shared.notRegisteredPending = 1;
        return;
    case VerifyOutcome::WrongPassword:
        shared.signedIn = 0;
        shared.wrongPasswordPending = 1;
        return;
    case VerifyOutcome::SignedIn:
        shared.signedIn = 1;
        if (verification.approved)
            StoreSharedText(shared.approvedText, *verification.approved);
        if (verification.pending)
            StoreSharedText(shared.pendingText, *verification.pending);
        if (verification.number)
            shared.verifyNumber = *verification.number;
        return;
    }
}

void CheckVersion(const RegistryKey& key)
{
    std::wstring reply;
    if (!FetchServiceAnswer(service_urls::VersionCheck(), reply))
        return;
    const auto version = ParseVersion(reply);
    if (!version || *version == kProductVersion)
        return;
    const std::wstring title = LoadResourceString(IDS_PRODUCT_NAME);
    const int answer =
        MessageBoxW(nullptr, L"A new version of Quillbury toolbar is available. Would you like to install it?",
                    title.c_str(), MB_YESNO | MB_ICONINFORMATION);
    if (answer == IDYES)
        ShellExecuteW(nullptr, L"open", UpdaterPath().c_str(), L"", L"", SW_SHOW);
    else
        key.SetString(kDeclinedDay, TodayToken());
}

} // namespace

void StartMainWorker(volatile LONG* done, volatile LONG* running, DWORD delay) noexcept
{
    StartWorker(&MainWorker, WorkerContext{done, running, delay});
}

void StartMainWorker(DWORD delay) noexcept
{
    SharedBlock& shared = Shared();
    StartMainWorker(&shared.mainDone, &shared.mainRunning, delay);
}

void MainWorker(const WorkerContext& context)
{
    *context.running = 1;
    const std::wstring nonce = RequestNonce();
    if (context.delay != 0)
        Sleep(10000);

    const RegistryKey key(HKEY_CURRENT_USER, kSettingsKeyPath);
    const bool versionDue = TodayToken() != key.ReadString(kDeclinedDay);

    CheckPasswordChange(nonce, key.ReadString(L"email"), key.ReadString(L"password"));
    VerifyAccount(nonce, key.ReadString(L"email"), key.ReadString(L"password"));

    const std::wstring listPath = DataFilePath(kShopListFileName);
    RemoveLeftoverListFiles(listPath);
    if (IsWrittenToday(listPath))
        *context.done = 1;
    else
        *context.done = DownloadToFile(service_urls::ShopList(), listPath) ? 1 : 0;

    if (versionDue)
        CheckVersion(key);
    *context.running = 0;
}

bool DownloadToFile(const std::wstring& url, const std::wstring& path)
{
    WinHttpClient client(url);
    client.SetUserAgent(kUserAgent);
    if (!client.Send(L"GET") || !client.HasResponseText() || path.empty())
        return false;
    if (!client.TransferComplete() || client.StatusCode() < 200 || client.StatusCode() > 299)
        return false;
    if (!client.ResponseBytes() || client.ReceivedCount() == 0)
        return false;
    return StoreShopListFile(path, client.ResponseBytes(), client.ReceivedCount());
}

bool IsWrittenToday(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    if (path.empty() || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes))
        return false;
    SYSTEMTIME utc{};
    SYSTEMTIME written{};
    if (!FileTimeToSystemTime(&attributes.ftLastWriteTime, &utc) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &written))
        return false;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return written.wYear == now.wYear && written.wMonth == now.wMonth && written.wDay == now.wDay;
}

std::wstring UpdaterPath()
{
    wchar_t path[MAX_PATH] = {};
    if (GetModuleFileNameW(ModuleInstance(), path, MAX_PATH) == 0 || !PathRemoveFileSpecW(path) ||
        !PathAppendW(path, kUpdaterFileName))
        return kUpdaterFileName;
    return path;
}

std::wstring TodayToken()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_s(&local, &now);
    return std::to_wstring(local.tm_wday);
}
