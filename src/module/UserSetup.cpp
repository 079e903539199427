#include "module/UserSetup.h"

#include <windows.h>

#include "core/ComHelper.h"
#include "module/OpenService.h"
#include "settings/AccountLock.h"
#include "settings/AccountStore.h"
#include "settings/Registry.h"

namespace
{
constexpr wchar_t kSearchProviderId[] = L"x-osid:1:search:{0E9A5C73-6B2F-4A81-B4D6-93C1E7F28A05}";
constexpr wchar_t kSearchProviderFlag[] = L"setdefaultsearchprovider";

// Selects an already installed provider as the default; every failure here is silent.
void SetDefaultSearchProvider() noexcept
try
{
    ComPtr<IOpenServiceManager> manager;
    if (FAILED(CoCreateInstance(kOpenServiceManagerClsid, nullptr, CLSCTX_ALL, __uuidof(IOpenServiceManager),
                                manager.ReceiveVoid())))
        return;
    ComPtr<IOpenService> service;
    if (manager->GetServiceByID(kSearchProviderId, service.Receive()) != S_OK)
        return;
    service->SetDefault(TRUE, nullptr /* no owner window */);
}
catch (...)
{
}
} // namespace

void ApplySearchProviderRequest()
{
    const RegistryKey settings(HKEY_CURRENT_USER, kSettingsKeyPath);
    std::wstring request;
    if (!settings.QueryString(kSearchProviderFlag, request) || request != L"true")
        return;
    settings.DeleteValue(kSearchProviderFlag);
    SetDefaultSearchProvider();
}

void RunUserSetup(unsigned long lockWait)
{
    ApplySearchProviderRequest();
    const AccountWriteLock lock(lockWait);
    UpgradeSettings();
}
