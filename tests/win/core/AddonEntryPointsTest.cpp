// The built add-on's entry points as COM and an installer call them: class objects, unloading, registration.
#include <windows.h>

#include <olectl.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include "ProcessResources.h"
#include "core/ComHelper.h"
#include "module/Guids.h"
#include "settings/AccountStore.h"
#include "settings/Registry.h"
#include "support/TestSupport.h"

namespace
{
constexpr wchar_t kBand[] = L"{4c8e1f27-93b5-4d0a-8e61-2f7a9c3b5d18}",
                  kHelper[] = L"{b2d74e90-1a6c-4f38-9c25-7e0f3a8b6d41}";
constexpr wchar_t kToolbarKey[] = L"SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
constexpr wchar_t kHelpersKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\explorer\\Browser Helper Objects";
constexpr wchar_t kEventLogKey[] = L"SYSTEM\\CurrentControlSet\\Services\\Eventlog\\Internet Explorer";

// The export of Quillbury.dll (beside this program), loaded here once and kept.
template <class Function = HRESULT(STDAPICALLTYPE*)()> Function Export(const char* name)
{
    static const HMODULE library = LoadLibraryW(AddonPath().c_str());
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

TEST(AddonEntryPoints, AnswerClassObjectRequestsAndHoldTheLibraryWhileAnythingOfItsLivesButNotAtProcessExit)
{
    const auto getClassObject = Export<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>("DllGetClassObject");
    const auto canUnloadNow = Export("DllCanUnloadNow");
    EXPECT_EQ(getClassObject(kBandClsid, IID_IClassFactory, nullptr), E_INVALIDARG);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject(IID_IUnknown, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    for (const GUID* clsid : {&kBandClsid, &kHelperClsid})
    {
        object = reinterpret_cast<void*>(1);
        EXPECT_EQ(getClassObject(*clsid, IID_IDispatch, &object), E_NOINTERFACE);
        EXPECT_EQ(canUnloadNow(), S_OK) << "the refused class object is gone";
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(getClassObject(*clsid, IID_IClassFactory, factory.ReceiveVoid()), S_OK);
        EXPECT_EQ(canUnloadNow(), S_FALSE) << "a class object holds the library";
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_INVALIDARG);
        EXPECT_EQ(factory->CreateInstance(factory.Get(), IID_IUnknown, &object), CLASS_E_NOAGGREGATION);
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &object), E_NOINTERFACE);
        EXPECT_EQ(object, nullptr);
        factory->LockServer(TRUE);
        factory.Reset();
        EXPECT_EQ(canUnloadNow(), S_FALSE) << "the lock holds the library";
        ASSERT_EQ(getClassObject(*clsid, IID_IClassFactory, factory.ReceiveVoid()), S_OK);
        factory->LockServer(FALSE);
        factory.Reset();
        EXPECT_EQ(canUnloadNow(), S_OK);
    }
    EXPECT_EQ(RunThisProgramAsChild(L"ProcessExitChild.*", L"exit"), 0u) << "at process exit it is left as it is";
}

bool HasValue(HKEY root, const std::wstring& key, const wchar_t* name)
{
    return RegGetValueW(root, key.c_str(), name, RRF_RT_ANY, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// Subkey names as stored (opening a key ignores case; this does not).
std::vector<std::wstring> Subkeys(HKEY root, const std::wstring& path)
{
    std::vector<std::wstring> names;
    wchar_t name[256];
    for (DWORD n = 0; RegEnumKeyW(RegistryKey(root, path).Get(), n, name, 256) == ERROR_SUCCESS; ++n)
        names.push_back(name);
    return names;
}

// Which rows of registration are there ('1') and which are missing ('0'); the installer's test checks their data.
void ExpectRows(const std::string& present)
{
    const std::wstring band = std::wstring(L"CLSID\\") + kBand;
    const std::tuple<HKEY, std::wstring, const wchar_t*> rows[] = {
        {HKEY_CLASSES_ROOT, band, nullptr},
        {HKEY_CLASSES_ROOT, band + L"\\InprocServer32", L"ThreadingModel"},
        {HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kHelper, nullptr},
        {HKEY_LOCAL_MACHINE, kToolbarKey, kBand},
        {HKEY_LOCAL_MACHINE, std::wstring(kHelpersKey) + L"\\" + kHelper, L"NoExplorer"}};
    for (size_t n = 0; n < std::size(rows); ++n)
    {
        const auto& [root, key, name] = rows[n];
        EXPECT_EQ(HasValue(root, key, name), present[n] == '1') << n;
    }
}

TEST(AddonEntryPoints, RegisterTheirRowsAndTheSearchRequestStopAtAKeyTheyCannotWriteAndUnregisterOnlyTheirOwn)
{
    EXPECT_EQ(Export("DllUnregisterServer")(), S_OK);
    // The toolbar key may be read but not written, as for a user without administrator rights.
    KeyHandle toolbar;
    LocalMemory readOnly, writable;
    ASSERT_TRUE(
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, kToolbarKey, 0, nullptr, 0, WRITE_DAC, nullptr, toolbar.Receive(),
                        nullptr) == 0 &&
        ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KRWD;;;WD)", 1, readOnly.Receive(), nullptr) &&
        ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KA;;;WD)", 1, writable.Receive(), nullptr) &&
        RegSetKeySecurity(toolbar.Get(), DACL_SECURITY_INFORMATION, readOnly.Get()) == 0);
    const HRESULT registered = Export("DllRegisterServer")(), unregistered = Export("DllUnregisterServer")();
    RegSetKeySecurity(toolbar.Get(), DACL_SECURITY_INFORMATION, writable.Get());
    EXPECT_EQ(registered, SELFREG_E_CLASS);
    EXPECT_EQ(unregistered, SELFREG_E_CLASS);
    ExpectRows("11100");
    // A search-provider request is acted on (this prefix has no such service: no failure) when exactly "true".
    const RegistryKey settings(HKEY_CURRENT_USER, kSettingsKeyPath);
    settings.SetString(L"setdefaultsearchprovider", L"true");
    ASSERT_EQ(RunRegsvr32(L"/s"), 0u);
    EXPECT_EQ(settings.ReadString(L"setdefaultsearchprovider"), L"");
    settings.SetString(L"setdefaultsearchprovider", L"True");
    ASSERT_EQ(Export("DllRegisterServer")(), S_OK);
    EXPECT_EQ(settings.ReadString(L"setdefaultsearchprovider"), L"True");
    ExpectRows("11111");

    // Neighbours that belong to others, and the event source that only an installer creates.
    constexpr wchar_t kOther[] = L"{11111111-2222-3333-4444-555555555555}";
    RegistryKey(HKEY_LOCAL_MACHINE, kToolbarKey).SetString(kOther, L"Other toolbar");
    for (const std::wstring& key : {std::wstring(kHelpersKey) + L"\\" + kOther, std::wstring(kEventLogKey) + L"\\Other",
                                    std::wstring(kEventLogKey) + L"\\Quillbury\\Nested"})
        RegistryKey(HKEY_LOCAL_MACHINE, key).SetString(nullptr, L"x");
    ASSERT_EQ(RunRegsvr32(L"/u /s"), 0u);
    ExpectRows("00000");
    EXPECT_EQ(Subkeys(HKEY_LOCAL_MACHINE, kEventLogKey), std::vector<std::wstring>{L"Other"});
    EXPECT_EQ(Subkeys(HKEY_LOCAL_MACHINE, kHelpersKey), std::vector<std::wstring>{kOther});
    EXPECT_TRUE(HasValue(HKEY_LOCAL_MACHINE, kToolbarKey, kOther));
    EXPECT_EQ(Export("DllUnregisterServer")(), S_OK) << "nothing is registered";
}

// This program started again: told that the process ends, the library leaves what it built (its handles too).
TEST(ProcessExitChild, LeavesTheLibrarysObjects)
{
    const HMODULE library = LoadLibraryW(AddonPath().c_str());
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        reinterpret_cast<const BYTE*>(library) + reinterpret_cast<const IMAGE_DOS_HEADER*>(library)->e_lfanew);
    const auto entry = reinterpret_cast<BOOL(WINAPI*)(HINSTANCE, DWORD, void*)>(
        reinterpret_cast<const BYTE*>(library) + headers->OptionalHeader.AddressOfEntryPoint);
    const DWORD handles = TakeResourceSnapshot(false).handles;
    entry(library, DLL_PROCESS_DETACH, reinterpret_cast<void*>(1));
    EXPECT_EQ(TakeResourceSnapshot(false).handles, handles);
}
} // namespace
