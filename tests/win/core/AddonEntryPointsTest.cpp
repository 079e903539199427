// The built add-on's entry points as a COM client and an installer call them: class objects and the unload
// question in this process, registration through the prefix's own regsvr32 and in this process.
#include <windows.h>

#include <olectl.h>
#include <sddl.h>

#include <algorithm>
#include <gtest/gtest.h>

#include "ProcessResources.h"
#include "core/ComHelper.h"
#include "module/Guids.h"
#include "settings/AccountStore.h"
#include "settings/Registry.h"
#include "settings/VistaSupport.h"
#include "support/AddonRegistration.h"
#include "support/ChildProcess.h"

namespace
{
constexpr wchar_t kBand[] = L"{4c8e1f27-93b5-4d0a-8e61-2f7a9c3b5d18}",
                  kHelper[] = L"{b2d74e90-1a6c-4f38-9c25-7e0f3a8b6d41}";
constexpr wchar_t kToolbarKey[] = L"SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
constexpr wchar_t kHelpersKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\explorer\\Browser Helper Objects";
constexpr wchar_t kEventLogKey[] = L"SYSTEM\\CurrentControlSet\\Services\\Eventlog\\Internet Explorer";
constexpr wchar_t kMainKey[] = L"SOFTWARE\\Microsoft\\Internet Explorer\\Main";

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

// A value's type and its bytes as UTF-16 code units (a string's terminator included); {0, ""} when missing.
using Value = std::pair<DWORD, std::wstring>;
Value ReadValue(HKEY root, const std::wstring& key, const wchar_t* name)
{
    KeyHandle opened;
    wchar_t data[300] = {};
    DWORD type = 0, size = sizeof data;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, opened.Receive()) != ERROR_SUCCESS ||
        RegQueryValueExW(opened.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
        return {};
    return {type, std::wstring(data, (size + 1) / 2)};
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

// Which rows of registration are there as it writes them ('1') and which are missing ('0').
void ExpectRows(const std::string& present)
{
    const std::wstring band = std::wstring(L"CLSID\\") + kBand, helper = std::wstring(L"CLSID\\") + kHelper;
    const std::wstring path = AddonPath() + L'\0', apartment(L"Apartment", 10);
    const std::tuple<HKEY, std::wstring, const wchar_t*, Value> rows[] = {
        {HKEY_CLASSES_ROOT, band, nullptr, {REG_SZ, std::wstring(L"Quillbury", 10)}},
        {HKEY_CLASSES_ROOT, band + L"\\InprocServer32", nullptr, {REG_SZ, path}},
        {HKEY_CLASSES_ROOT, band + L"\\InprocServer32", L"ThreadingModel", {REG_SZ, apartment}},
        {HKEY_CLASSES_ROOT, helper, nullptr, {REG_SZ, std::wstring(L"Quillbury Browser Helper Object", 32)}},
        {HKEY_CLASSES_ROOT, helper + L"\\InprocServer32", nullptr, {REG_SZ, path}},
        {HKEY_CLASSES_ROOT, helper + L"\\InprocServer32", L"ThreadingModel", {REG_SZ, apartment}},
        {HKEY_LOCAL_MACHINE, kToolbarKey, kBand, {REG_SZ, std::wstring(L"QuillburyToolBarSearch", 23)}},
        {HKEY_LOCAL_MACHINE, std::wstring(kHelpersKey) + L"\\" + kHelper, L"NoExplorer", {REG_DWORD, {L'\1', 0}}},
        {HKEY_CURRENT_USER, kMainKey, L"Disable Script Debugger", {REG_SZ, std::wstring(L"yes", 4)}},
        {HKEY_CURRENT_USER, kMainKey, L"DisableScriptDebuggerIE", {REG_SZ, std::wstring(L"yes", 4)}}};
    for (size_t n = 0; n < std::size(rows); ++n)
    {
        const auto& [root, key, name, value] = rows[n];
        EXPECT_EQ(ReadValue(root, key, name), present[n] == '1' ? value : Value()) << n;
    }
}

TEST(AddonEntryPoints, RegisterTheirRowsStopAtAKeyTheyCannotWriteAndUnregisterOnlyTheirOwn)
{
    EXPECT_EQ(Export("DllUnregisterServer")(), S_OK);
    for (const wchar_t* name : {L"Disable Script Debugger", L"DisableScriptDebuggerIE"})
        RegistryKey(HKEY_CURRENT_USER, kMainKey).DeleteValue(name);
    DeleteFileW(DataFilePath(L"config.ini").c_str());
    // The toolbar key may be read but not written, as for a user without administrator rights.
    KeyHandle toolbar;
    LocalMemory readOnly;
    alignas(8) BYTE original[4096];
    DWORD size = sizeof original;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kToolbarKey, 0, nullptr, 0, READ_CONTROL | WRITE_DAC, nullptr,
                              toolbar.Receive(), nullptr),
              0);
    ASSERT_EQ(RegGetKeySecurity(toolbar.Get(), DACL_SECURITY_INFORMATION, original, &size), 0);
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KRWD;;;WD)", SDDL_REVISION_1,
                                                                     readOnly.Receive(), nullptr));
    ASSERT_EQ(RegSetKeySecurity(toolbar.Get(), DACL_SECURITY_INFORMATION, readOnly.Get()), 0);
    const HRESULT registered = Export("DllRegisterServer")(), unregistered = Export("DllUnregisterServer")();
    RegSetKeySecurity(toolbar.Get(), DACL_SECURITY_INFORMATION, original);
    EXPECT_EQ(registered, SELFREG_E_CLASS);
    EXPECT_EQ(unregistered, SELFREG_E_CLASS);
    ExpectRows("1111110000");
    EXPECT_EQ(ReadIniValue(L"version"), L"") << "the settings upgrade did not run";
    WriteIniCredentials(L"user@example.com", L"secret");
    ASSERT_EQ(RunRegsvr32(L"/s"), 0u);
    ASSERT_EQ(Export("DllRegisterServer")(), S_OK);
    ExpectRows("1111111111");
    const auto classes = Subkeys(HKEY_CLASSES_ROOT, L"CLSID");
    EXPECT_EQ(std::ranges::count(classes, kBand) + std::ranges::count(classes, kHelper), 2) << "lowercase names";
    EXPECT_EQ(Subkeys(HKEY_LOCAL_MACHINE, kHelpersKey), std::vector<std::wstring>{kHelper});
    EXPECT_EQ(ReadIniValue(L"password"), L"5ebe2294ecd0e0f08eab7690d2a6ee69") << "the settings upgrade ran once";

    // Neighbours that belong to others, and the event source that only an installer creates.
    constexpr wchar_t kOther[] = L"{11111111-2222-3333-4444-555555555555}";
    RegistryKey(HKEY_LOCAL_MACHINE, kToolbarKey).SetString(kOther, L"Other toolbar");
    for (const std::wstring& key : {std::wstring(kHelpersKey) + L"\\" + kOther, std::wstring(kEventLogKey) + L"\\Other",
                                    std::wstring(kEventLogKey) + L"\\Quillbury\\Nested"})
        RegistryKey(HKEY_LOCAL_MACHINE, key).SetString(nullptr, L"x");
    ASSERT_EQ(RunRegsvr32(L"/u /s"), 0u);
    ExpectRows("0000000011");
    EXPECT_EQ(Subkeys(HKEY_LOCAL_MACHINE, kEventLogKey), std::vector<std::wstring>{L"Other"});
    EXPECT_EQ(Subkeys(HKEY_LOCAL_MACHINE, kHelpersKey), std::vector<std::wstring>{kOther});
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kToolbarKey, kOther).first, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(ReadIniValue(L"email"), L"user@example.com") << "config.ini and the user's settings stay";
    EXPECT_EQ(RegistryKey(HKEY_CURRENT_USER, kSettingsKeyPath).ReadString(L"password").size(), 32u);
    EXPECT_EQ(Export("DllUnregisterServer")(), S_OK) << "nothing is registered";
}

TEST(AddonEntryPoints, RegisterConsumesTheSearchProviderFlagOnlyWhenItIsExactlyTrue)
{
    const RegistryKey settings(HKEY_CURRENT_USER, kSettingsKeyPath);
    for (const auto& [flag, after] :
         {std::pair(L"true", L""), std::pair(L"True", L"True"), std::pair(L"true ", L"true ")})
    {
        settings.SetString(L"setdefaultsearchprovider", flag);
        EXPECT_EQ(Export("DllRegisterServer")(), S_OK) << "this prefix has no search-provider service: no failure";
        EXPECT_EQ(settings.ReadString(L"setdefaultsearchprovider"), after) << flag;
    }
}

// This program started again loads the library and has it told that the process ends: what it built stays
// (its handles too), as the process's other threads were stopped wherever they were.
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
