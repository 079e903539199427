#include "net/ServiceRequests.h"

#include <ctime>

#include "module/ProcessObjects.h"
#include "settings/AccountStore.h"

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
