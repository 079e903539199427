// Self-registration: the two classes as in-process servers, the band as a browser toolbar, the helper
// object, an optional default search provider, the script-debugger switches, and the one-time settings
// upgrade. Written as a table of rows applied in order; a failure leaves the rows already written in place
// (there is no rollback) and answers SELFREG_E_CLASS without any report.
#include <windows.h>

#include <olectl.h>

#include "core/ComHelper.h"
#include "core/ErrorReport.h"
#include "module/Guids.h"
#include "module/Module.h"
#include "module/UserSetup.h"
#include "resources/resource.h"
#include "settings/AccountLock.h"
#include "settings/AccountStore.h"
#include "settings/Registry.h"

namespace
{
constexpr wchar_t kToolbarKey[] = L"SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
constexpr wchar_t kHelperObjectsKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\explorer\\Browser Helper Objects\\";
constexpr wchar_t kBrowserMainKey[] = L"SOFTWARE\\Microsoft\\Internet Explorer\\Main";
constexpr wchar_t kEventSourceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\Eventlog\\Internet Explorer\\Quillbury";

void RegisterInprocServer(const std::wstring& clsid, const std::wstring& modulePath, const std::wstring& className)
{
    const std::wstring classKey = L"CLSID\\" + clsid;
    RegistryKey(HKEY_CLASSES_ROOT, classKey).SetString(nullptr, className);
    const RegistryKey server(HKEY_CLASSES_ROOT, classKey + L"\\InprocServer32");
    server.SetString(nullptr, modulePath);
    server.SetString(L"ThreadingModel", L"Apartment");
}

void Register(const std::wstring& modulePath)
{
    const std::wstring band = GuidToString(kBandClsid);
    const std::wstring helper = GuidToString(kHelperClsid);
    RegisterInprocServer(band, modulePath, LoadResourceString(IDS_PRODUCT_NAME));
    RegisterInprocServer(helper, modulePath, LoadResourceString(IDS_HELPER_NAME));

    RegistryKey(HKEY_LOCAL_MACHINE, kToolbarKey).SetString(band.c_str(), L"QuillburyToolBarSearch");
    const RegistryKey helperKey(HKEY_LOCAL_MACHINE, kHelperObjectsKey + helper);
    helperKey.SetDword(L"NoExplorer", 1);

    ApplySearchProviderRequest();

    const RegistryKey browserMain(HKEY_CURRENT_USER, kBrowserMainKey);
    browserMain.SetString(L"Disable Script Debugger", L"yes");
    browserMain.SetString(L"DisableScriptDebuggerIE", L"yes");

    const AccountWriteLock lock;
    UpgradeSettings();
}

void Unregister()
{
    const std::wstring band = GuidToString(kBandClsid);
    const std::wstring helper = GuidToString(kHelperClsid);
    RegistryKey(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Internet Explorer\\Toolbar").DeleteValue(band.c_str());
    DeleteKeyTree(HKEY_CLASSES_ROOT, L"CLSID\\" + band);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kHelperObjectsKey + helper);
    DeleteKeyTree(HKEY_CLASSES_ROOT, L"CLSID\\" + helper);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kEventSourceKey);
}
} // namespace

STDAPI DllRegisterServer()
{
    wchar_t modulePath[MAX_PATH] = {};
    if (GetModuleFileNameW(ModuleInstance(), modulePath, MAX_PATH) == 0)
        return SELFREG_E_CLASS;
    try
    {
        Register(modulePath);
        return S_OK;
    }
    catch (...)
    {
        // Registry and GUID failures (the runtime_error family) and anything else alike: registration
        // tools only understand success or SELFREG_E_CLASS.
        return SELFREG_E_CLASS;
    }
}

STDAPI DllUnregisterServer()
{
    try
    {
        Unregister();
        return S_OK;
    }
    catch (...)
    {
        return SELFREG_E_CLASS;
    }
}
