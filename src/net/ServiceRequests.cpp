#include "net/ServiceRequests.h"

#include <ctime>

#include "module/ProcessObjects.h"
#include "net/WinHttpClient.h"
#include "settings/AccountStore.h"
#include "workers/Replies.h"

std::wstring RequestNonce()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_s(&local, &now);
    return RequestNonceFor(local);
}

ServiceAccount StoredAccount()
{
    ServiceAccount account;
    ReadRegistryCredentials(account.email, account.digest);
    return account;
}

bool SignedIn() noexcept
{
    return Shared().signedIn == 1;
}

bool FetchServiceAnswer(const std::wstring& url, std::wstring& answer)
{
    WinHttpClient client(url);
    client.SetUserAgent(L"Mozilla/4.0");
    if (!client.Send(L"GET"))
        return false;
    std::wstring text = client.ResponseText();
    if (!IsServiceAnswer(client.StatusCode(), text))
        return false;
    answer = std::move(text);
    return true;
}
