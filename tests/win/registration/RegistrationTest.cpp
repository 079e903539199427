// Self-registration as an installer does it: the prefix's own regsvr32 loads the built DLL in a process of
// its own, and the tests read back the registry, the data folder's config.ini and what the stand-in
// search-provider server (qb_fake_openservice, registered by the tests) recorded of its calls.
// Each test starts from a registry without any of the add-on's entries, so the tests may run in any order.
#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "core/ScopedHandle.h"
#include "settings/VistaSupport.h"

namespace
{
constexpr wchar_t kBand[] = L"{4c8e1f27-93b5-4d0a-8e61-2f7a9c3b5d18}";
constexpr wchar_t kHelper[] = L"{b2d74e90-1a6c-4f38-9c25-7e0f3a8b6d41}";
constexpr wchar_t kOpenServiceManager[] = L"{098870b6-39ea-480b-b8b5-dd0167c4db59}";
constexpr wchar_t kProviderId[] = L"x-osid:1:search:{0E9A5C73-6B2F-4A81-B4D6-93C1E7F28A05}";

constexpr wchar_t kToolbarKey[] = L"SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
constexpr wchar_t kHelperObjectsKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\explorer\\Browser Helper Objects";
constexpr wchar_t kBrowserMainKey[] = L"SOFTWARE\\Microsoft\\Internet Explorer\\Main";
constexpr wchar_t kEventLogKey[] = L"SYSTEM\\CurrentControlSet\\Services\\Eventlog\\Internet Explorer";
constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Quillbury";
constexpr wchar_t kFakeRecordKey[] = L"Software\\QuillburyTests\\OpenService";
constexpr wchar_t kProviderFlag[] = L"setdefaultsearchprovider";

constexpr DWORD kRegsvr32DeadlineMs = 60'000;
constexpr DWORD kNotRun = 0xFFFF'FFFF;

// --- Registry, read without creating anything ---------------------------------------------------------

struct RegValue
{
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    bool operator==(const RegValue&) const = default;
};

void PrintTo(const RegValue& value, std::ostream* out)
{
    if (value.type == REG_DWORD && value.data.size() == sizeof(DWORD))
    {
        DWORD number = 0;
        memcpy(&number, value.data.data(), sizeof number);
        *out << "REG_DWORD " << number;
        return;
    }
    *out << "type " << value.type << ", " << value.data.size() << " bytes";
    if (value.type == REG_SZ)
    {
        std::wstring text(value.data.size() / 2, L'\0');
        memcpy(text.data(), value.data.data(), text.size() * 2);
        *out << " " << testing::PrintToString(text);
    }
}

// REG_SZ as SetString writes it: the terminator counted in the byte length.
RegValue Sz(const std::wstring& text)
{
    RegValue value{REG_SZ, std::vector<BYTE>((text.size() + 1) * sizeof(wchar_t))};
    memcpy(value.data.data(), text.c_str(), value.data.size());
    return value;
}

RegValue Dword(DWORD number)
{
    RegValue value{REG_DWORD, std::vector<BYTE>(sizeof number)};
    memcpy(value.data.data(), &number, sizeof number);
    return value;
}

KeyHandle OpenExisting(HKEY root, const std::wstring& path, REGSAM access = KEY_READ)
{
    KeyHandle key;
    if (RegOpenKeyExW(root, path.c_str(), 0, access, key.Receive()) != ERROR_SUCCESS)
        return {};
    return key;
}

bool KeyExists(HKEY root, const std::wstring& path)
{
    return OpenExisting(root, path).IsValid();
}

// Every value of the key under its exact stored name ("" is the default value); empty when the key is missing.
using KeyContent = std::map<std::wstring, RegValue>;

KeyContent ReadKey(HKEY root, const std::wstring& path)
{
    KeyContent content;
    const KeyHandle key = OpenExisting(root, path);
    DWORD count = 0, maxName = 0, maxData = 0;
    if (!key || RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &maxName,
                                 &maxData, nullptr, nullptr) != ERROR_SUCCESS)
        return content;
    for (DWORD index = 0; index < count; ++index)
    {
        std::wstring name(maxName + 1, L'\0');
        DWORD nameLength = maxName + 1;
        RegValue value{REG_NONE, std::vector<BYTE>(maxData)};
        DWORD size = maxData;
        if (RegEnumValueW(key.Get(), index, name.data(), &nameLength, nullptr, &value.type, value.data.data(), &size) !=
            ERROR_SUCCESS)
            continue;
        name.resize(nameLength);
        value.data.resize(size);
        content.emplace(name, value);
    }
    return content;
}

std::optional<RegValue> ReadValue(HKEY root, const std::wstring& path, const std::wstring& name)
{
    const KeyContent content = ReadKey(root, path);
    const auto found = content.find(name);
    return found == content.end() ? std::nullopt : std::optional(found->second);
}

// Subkey names exactly as stored: lookups are case-insensitive, these are not.
std::vector<std::wstring> SubkeyNames(HKEY root, const std::wstring& path)
{
    std::vector<std::wstring> names;
    const KeyHandle key = OpenExisting(root, path);
    wchar_t name[256];
    for (DWORD index = 0; key; ++index)
    {
        DWORD length = 256;
        if (RegEnumKeyExW(key.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return names;
}

bool HasSubkeyNamedExactly(HKEY root, const std::wstring& path, const std::wstring& name)
{
    for (const std::wstring& subkey : SubkeyNames(root, path))
        if (subkey == name)
            return true;
    return false;
}

// --- Registry and files, written by the tests -------------------------------------------------------------

void Write(HKEY root, const std::wstring& path, const wchar_t* name, const RegValue& value)
{
    KeyHandle key;
    ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.Receive(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key.Get(), name, 0, value.type, value.data.data(), static_cast<DWORD>(value.data.size())),
              ERROR_SUCCESS);
}

void DeleteTree(HKEY root, const std::wstring& path)
{
    const LSTATUS status = RegDeleteTreeW(root, path.c_str());
    ASSERT_TRUE(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) << status;
}

void DeleteValue(HKEY root, const std::wstring& path, const wchar_t* name)
{
    const KeyHandle key = OpenExisting(root, path, KEY_SET_VALUE);
    if (!key)
        return;
    const LSTATUS status = RegDeleteValueW(key.Get(), name);
    ASSERT_TRUE(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) << status;
}

std::wstring BesideTestProgram(const wchar_t* fileName)
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    folder.resize(folder.find_last_of(L'\\') + 1);
    return folder + fileName;
}

std::wstring AddonPath()
{
    return BesideTestProgram(L"Quillbury.dll");
}

// config.ini where the add-on keeps it; the same folder for regsvr32, which runs as the same user.
std::wstring ConfigPath()
{
    return DataFilePath(L"config.ini");
}

std::wstring IniValue(const wchar_t* key)
{
    wchar_t buffer[256] = {};
    GetPrivateProfileStringW(L"config", key, L"", buffer, 256, ConfigPath().c_str());
    return buffer;
}

void WriteIni(const wchar_t* key, const wchar_t* value)
{
    ASSERT_TRUE(WritePrivateProfileStringW(L"config", key, value, ConfigPath().c_str()));
}

// --- The prefix's regsvr32 ---------------------------------------------------------------------------------

// Runs "regsvr32 <switches> <add-on>" and answers its exit code: 0 for success, 5 when the entry point
// failed (Wine's regsvr32 numbers its exits like Windows'); kNotRun when it could not be run in time.
DWORD RunRegsvr32(const std::wstring& switches)
{
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    std::wstring command =
        L"\"" + std::wstring(system) + L"\\regsvr32.exe\" " + switches + L" \"" + AddonPath() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
    {
        ADD_FAILURE() << "cannot start regsvr32, error " << GetLastError();
        return kNotRun;
    }
    const KernelHandle process(started.hProcess);
    const KernelHandle thread(started.hThread);
    if (WaitForSingleObject(process.Get(), kRegsvr32DeadlineMs) != WAIT_OBJECT_0)
    {
        TerminateProcess(process.Get(), kNotRun);
        ADD_FAILURE() << "regsvr32 did not finish within " << kRegsvr32DeadlineMs << " ms";
        return kNotRun;
    }
    DWORD exitCode = kNotRun;
    GetExitCodeProcess(process.Get(), &exitCode);
    return exitCode;
}

DWORD Register()
{
    return RunRegsvr32(L"/s");
}

DWORD Unregister()
{
    return RunRegsvr32(L"/u /s");
}

// --- What registration writes ------------------------------------------------------------------------------

struct Row
{
    HKEY root;
    std::wstring key;
    std::wstring value; // "" is the key's default value
    RegValue data;
};

std::vector<Row> RegistrationRows()
{
    const std::wstring bandClass = std::wstring(L"CLSID\\") + kBand;
    const std::wstring helperClass = std::wstring(L"CLSID\\") + kHelper;
    const std::wstring helperObject = std::wstring(kHelperObjectsKey) + L"\\" + kHelper;
    return {
        {HKEY_CLASSES_ROOT, bandClass, L"", Sz(L"Quillbury")},
        {HKEY_CLASSES_ROOT, bandClass + L"\\InprocServer32", L"", Sz(AddonPath())},
        {HKEY_CLASSES_ROOT, bandClass + L"\\InprocServer32", L"ThreadingModel", Sz(L"Apartment")},
        {HKEY_CLASSES_ROOT, helperClass, L"", Sz(L"Quillbury Browser Helper Object")},
        {HKEY_CLASSES_ROOT, helperClass + L"\\InprocServer32", L"", Sz(AddonPath())},
        {HKEY_CLASSES_ROOT, helperClass + L"\\InprocServer32", L"ThreadingModel", Sz(L"Apartment")},
        {HKEY_LOCAL_MACHINE, kToolbarKey, kBand, Sz(L"QuillburyToolBarSearch")},
        {HKEY_LOCAL_MACHINE, helperObject, L"NoExplorer", Dword(1)},
        {HKEY_CURRENT_USER, kBrowserMainKey, L"Disable Script Debugger", Sz(L"yes")},
        {HKEY_CURRENT_USER, kBrowserMainKey, L"DisableScriptDebuggerIE", Sz(L"yes")},
    };
}

// Everything registration may touch, for before/after comparisons.
struct Snapshot
{
    std::vector<KeyContent> keys;
    std::wstring version, email, password;
    bool operator==(const Snapshot&) const = default;
};

void PrintTo(const Snapshot& snapshot, std::ostream* out)
{
    *out << testing::PrintToString(snapshot.keys) << ", config.ini version " << testing::PrintToString(snapshot.version)
         << " email " << testing::PrintToString(snapshot.email) << " password "
         << testing::PrintToString(snapshot.password);
}

Snapshot TakeSnapshot()
{
    Snapshot snapshot;
    for (const Row& row : RegistrationRows())
        snapshot.keys.push_back(ReadKey(row.root, row.key));
    snapshot.keys.push_back(ReadKey(HKEY_CURRENT_USER, kSettingsKey));
    snapshot.version = IniValue(L"version");
    snapshot.email = IniValue(L"email");
    snapshot.password = IniValue(L"password");
    return snapshot;
}

std::optional<DWORD> FakeRecord(const wchar_t* name)
{
    const auto value = ReadValue(HKEY_CURRENT_USER, kFakeRecordKey, name);
    if (!value || value->type != REG_DWORD || value->data.size() != sizeof(DWORD))
        return std::nullopt;
    DWORD number = 0;
    memcpy(&number, value->data.data(), sizeof number);
    return number;
}

// Parameterised cases are named after their `name` field.
template <class Case> std::string CaseName(const testing::TestParamInfo<Case>& test)
{
    return test.param.name;
}

class RegistrationTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(ConfigPath().empty()) << "the data folder can be formed";
        // Nothing of the add-on's, nothing recorded by the stand-in, no settings.
        DeleteTree(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kBand);
        DeleteTree(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kHelper);
        DeleteTree(HKEY_LOCAL_MACHINE, std::wstring(kHelperObjectsKey) + L"\\" + kHelper);
        DeleteValue(HKEY_LOCAL_MACHINE, kToolbarKey, kBand);
        DeleteTree(HKEY_LOCAL_MACHINE, std::wstring(kEventLogKey) + L"\\Quillbury");
        DeleteTree(HKEY_CURRENT_USER, kSettingsKey);
        DeleteTree(HKEY_CURRENT_USER, L"Software\\QuillburyTests");
        DeleteValue(HKEY_CURRENT_USER, kBrowserMainKey, L"Disable Script Debugger");
        DeleteValue(HKEY_CURRENT_USER, kBrowserMainKey, L"DisableScriptDebuggerIE");
        DeleteFileW(ConfigPath().c_str());
        InstallSearchProvider();
    }

    // The stand-in answers for the browser's search-provider service; Wine has no such service of its own.
    static void InstallSearchProvider()
    {
        const std::wstring server = std::wstring(L"CLSID\\") + kOpenServiceManager + L"\\InprocServer32";
        Write(HKEY_CLASSES_ROOT, server, nullptr, Sz(BesideTestProgram(L"qb_fake_openservice.dll")));
        Write(HKEY_CLASSES_ROOT, server, L"ThreadingModel", Sz(L"Apartment"));
    }

    static void RemoveSearchProvider()
    {
        DeleteTree(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kOpenServiceManager);
    }

    static void ExpectEveryRowWritten()
    {
        for (const Row& row : RegistrationRows())
        {
            SCOPED_TRACE(testing::PrintToString(row.key + L" : " + row.value));
            EXPECT_EQ(ReadValue(row.root, row.key, row.value), row.data);
        }
    }
};

TEST_F(RegistrationTest, WritesEveryRowWithLowercaseGuidNames)
{
    ASSERT_EQ(Register(), 0u);
    ExpectEveryRowWritten();
    // Key and value names are compared without regard to case by the registry, so the stored spelling is
    // checked by enumeration.
    EXPECT_TRUE(HasSubkeyNamedExactly(HKEY_CLASSES_ROOT, L"CLSID", kBand));
    EXPECT_TRUE(HasSubkeyNamedExactly(HKEY_CLASSES_ROOT, L"CLSID", kHelper));
    EXPECT_TRUE(HasSubkeyNamedExactly(HKEY_LOCAL_MACHINE, kHelperObjectsKey, kHelper));
    EXPECT_TRUE(ReadKey(HKEY_LOCAL_MACHINE, kToolbarKey).contains(kBand));
    EXPECT_EQ(ReadKey(HKEY_LOCAL_MACHINE, std::wstring(kHelperObjectsKey) + L"\\" + kHelper).size(), 1u)
        << "only NoExplorer under the helper object's key";
}

TEST_F(RegistrationTest, SecondRegistrationChangesNothing)
{
    WriteIni(L"password", L"secret");
    ASSERT_EQ(Register(), 0u);
    const Snapshot first = TakeSnapshot();
    ASSERT_EQ(Register(), 0u);
    EXPECT_EQ(TakeSnapshot(), first);
    ExpectEveryRowWritten();
}

// A toolbar key that may be read but not written, as for a user without administrator rights; the key's
// own security is given back when the guard goes.
class ReadOnlyToolbarKey
{
public:
    ReadOnlyToolbarKey()
    {
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kToolbarKey, 0, nullptr, 0, READ_CONTROL | WRITE_DAC, nullptr,
                            key.Receive(), nullptr) != ERROR_SUCCESS)
            return;
        DWORD size = 0;
        RegGetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, nullptr, &size);
        original.resize(size);
        if (RegGetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, original.data(), &size) != ERROR_SUCCESS)
            return;
        LocalMemory readOnly;
        // Everyone may read the key and change its security back, nothing else.
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
                L"D:P(A;;KRWD;;;WD)", SDDL_REVISION_1, reinterpret_cast<PSECURITY_DESCRIPTOR*>(readOnly.Receive()),
                nullptr))
            return;
        locked = RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, readOnly.Get()) == ERROR_SUCCESS;
    }
    ~ReadOnlyToolbarKey()
    {
        if (locked)
        {
            EXPECT_EQ(RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, original.data()), ERROR_SUCCESS);
        }
    }
    ReadOnlyToolbarKey(const ReadOnlyToolbarKey&) = delete;
    ReadOnlyToolbarKey& operator=(const ReadOnlyToolbarKey&) = delete;

    bool locked = false;

private:
    KeyHandle key;
    std::vector<BYTE> original;
};

// Wine's server checks a key's DACL on open as Windows does, so this runs the real failure path.
TEST_F(RegistrationTest, AWriteFailureStopsWithoutRollingBack)
{
    ReadOnlyToolbarKey readOnly;
    ASSERT_TRUE(readOnly.locked);
    {
        SCOPED_TRACE("registration");
        EXPECT_EQ(Register(), 5u) << "regsvr32's code for a failed entry point";
        const auto rows = RegistrationRows();
        for (size_t index = 0; index < 6; ++index)
            EXPECT_EQ(ReadValue(rows[index].root, rows[index].key, rows[index].value), rows[index].data);
        EXPECT_FALSE(ReadKey(HKEY_LOCAL_MACHINE, kToolbarKey).contains(kBand));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kHelperObjectsKey) + L"\\" + kHelper));
        EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kBrowserMainKey, L"DisableScriptDebuggerIE"), std::nullopt);
        EXPECT_EQ(IniValue(L"version"), L"") << "the settings upgrade did not run";
    }
    {
        SCOPED_TRACE("unregistration");
        EXPECT_EQ(Unregister(), 5u);
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kBand)) << "nothing removed";
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kHelper));
    }
}

// --- The one-time request to make the provider the default search ------------------------------------------

struct ProviderCase
{
    const char* name;
    std::optional<std::wstring> flag;      // "setdefaultsearchprovider" before registration
    bool providerServer;                   // the stand-in's class is registered
    std::optional<DWORD> getServiceResult; // replaces the stand-in's S_OK for the known id
    bool managerCreated;                   // registration created a manager object
    bool setDefault;                       // and made the provider the default
    std::optional<std::wstring> flagAfter; // the value after registration
};

void PrintTo(const ProviderCase& c, std::ostream* out)
{
    *out << c.name;
}

class SearchProviderRequestTest : public RegistrationTest, public testing::WithParamInterface<ProviderCase>
{
};

TEST_P(SearchProviderRequestTest, IsActedOnOnlyForExactlyTrue)
{
    const ProviderCase& c = GetParam();
    if (c.flag)
        Write(HKEY_CURRENT_USER, kSettingsKey, kProviderFlag, Sz(*c.flag));
    if (!c.providerServer)
        RemoveSearchProvider();
    if (c.getServiceResult)
        Write(HKEY_CURRENT_USER, kFakeRecordKey, L"getServiceResult", Dword(*c.getServiceResult));

    ASSERT_EQ(Register(), 0u) << "what happens to the search provider never fails registration";

    const auto flagAfter = ReadValue(HKEY_CURRENT_USER, kSettingsKey, kProviderFlag);
    EXPECT_EQ(flagAfter, c.flagAfter ? std::optional(Sz(*c.flagAfter)) : std::nullopt);
    if (!c.managerCreated)
    {
        EXPECT_EQ(FakeRecord(L"created"), std::nullopt) << "no manager object created";
        return;
    }
    EXPECT_EQ(FakeRecord(L"created"), 1u);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kFakeRecordKey, L"requestedId"), Sz(kProviderId));
    EXPECT_EQ(FakeRecord(L"alive"), 0u) << "the manager and the service are both released";
    if (!c.setDefault)
    {
        EXPECT_EQ(FakeRecord(L"setDefaultCalls"), std::nullopt);
        return;
    }
    EXPECT_EQ(FakeRecord(L"setDefaultCalls"), 1u);
    EXPECT_EQ(FakeRecord(L"setDefault"), 1u) << "SetDefault(TRUE, ...)";
    EXPECT_EQ(FakeRecord(L"nullOwner"), 1u) << "no owner window";
}

const ProviderCase kProviderCases[] = {
    {"Absent", std::nullopt, true, std::nullopt, false, false, std::nullopt},
    {"True", L"true", true, std::nullopt, true, true, std::nullopt},
    {"CapitalTrue", L"True", true, std::nullopt, false, false, L"True"},
    {"False", L"false", true, std::nullopt, false, false, L"false"},
    {"TrueWithTrailingSpace", L"true ", true, std::nullopt, false, false, L"true "},
    // Only exactly S_OK from GetServiceByID goes on to SetDefault.
    {"ServiceAnswersSFalse", L"true", true, static_cast<DWORD>(S_FALSE), true, false, std::nullopt},
    {"ServiceNotInstalled", L"true", true, static_cast<DWORD>(E_INVALIDARG), true, false, std::nullopt},
    // The flag is consumed even when the search-provider service cannot be created.
    {"NoProviderService", L"true", false, std::nullopt, false, false, std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Flag, SearchProviderRequestTest, testing::ValuesIn(kProviderCases), CaseName<ProviderCase>);

// --- The settings upgrade run by registration --------------------------------------------------------------

struct UpgradeCase
{
    const char* name;
    const wchar_t* version;  // in config.ini before registration; null: no config.ini at all
    const wchar_t* password; // likewise
    std::wstring versionAfter;
    std::wstring iniPasswordAfter;
    std::wstring registryPasswordAfter;
};

constexpr wchar_t kSecretDigest[] = L"5ebe2294ecd0e0f08eab7690d2a6ee69"; // MD5 of "secret"

void PrintTo(const UpgradeCase& c, std::ostream* out)
{
    *out << c.name;
}

class SettingsUpgradeTest : public RegistrationTest, public testing::WithParamInterface<UpgradeCase>
{
};

TEST_P(SettingsUpgradeTest, RunsOnceAndOnlyWithoutAVersion)
{
    const UpgradeCase& c = GetParam();
    Write(HKEY_CURRENT_USER, kSettingsKey, L"email", Sz(L"kept@example.com"));
    Write(HKEY_CURRENT_USER, kSettingsKey, L"password", Sz(L"registry copy"));
    if (c.version)
        WriteIni(L"version", c.version);
    if (c.password)
        WriteIni(L"password", c.password);

    for (int run = 1; run <= 2; ++run)
    {
        SCOPED_TRACE(run == 1 ? "first registration" : "second registration");
        ASSERT_EQ(Register(), 0u);
        EXPECT_EQ(IniValue(L"version"), c.versionAfter);
        EXPECT_EQ(IniValue(L"password"), c.iniPasswordAfter);
        EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kSettingsKey, L"password"), Sz(c.registryPasswordAfter));
        EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kSettingsKey, L"email"), Sz(L"kept@example.com"));
    }
}

const UpgradeCase kUpgradeCases[] = {
    {"PlainPasswordBecomesItsDigest", nullptr, L"secret", L"1.1.05", kSecretDigest, kSecretDigest},
    {"AnyVersionKeepsThePassword", L"1.0.09", L"secret", L"1.0.09", L"secret", L"registry copy"},
    {"NoConfigFileGetsAVersion", nullptr, nullptr, L"1.1.05", L"", L"registry copy"},
};

INSTANTIATE_TEST_SUITE_P(Config, SettingsUpgradeTest, testing::ValuesIn(kUpgradeCases), CaseName<UpgradeCase>);

// --- Unregistration ----------------------------------------------------------------------------------------

TEST_F(RegistrationTest, UnregistrationRemovesOnlyItsOwnEntries)
{
    constexpr wchar_t kOtherGuid[] = L"{11111111-2222-3333-4444-555555555555}";
    const std::wstring helperObject = std::wstring(kHelperObjectsKey) + L"\\" + kHelper;
    const std::wstring eventSource = std::wstring(kEventLogKey) + L"\\Quillbury";
    WriteIni(L"email", L"user@example.com");
    WriteIni(L"password", L"secret");
    Write(HKEY_CURRENT_USER, kSettingsKey, kProviderFlag, Sz(L"false"));
    Write(HKEY_CURRENT_USER, kSettingsKey, L"ver_upd_not_day", Sz(L"3"));
    ASSERT_EQ(Register(), 0u);
    // Neighbours that belong to others, and the event source that only an installer creates.
    Write(HKEY_LOCAL_MACHINE, kToolbarKey, kOtherGuid, Sz(L"Other toolbar"));
    Write(HKEY_LOCAL_MACHINE, std::wstring(kHelperObjectsKey) + L"\\" + kOtherGuid, L"NoExplorer", Dword(1));
    Write(HKEY_LOCAL_MACHINE, eventSource, L"EventMessageFile", Sz(AddonPath()));
    Write(HKEY_LOCAL_MACHINE, eventSource + L"\\Nested", L"", Sz(L"x"));
    Write(HKEY_LOCAL_MACHINE, std::wstring(kEventLogKey) + L"\\Other", L"", Sz(L"x"));
    const KeyContent settings = ReadKey(HKEY_CURRENT_USER, kSettingsKey);
    const KeyContent browserMain = ReadKey(HKEY_CURRENT_USER, kBrowserMainKey);

    ASSERT_EQ(Unregister(), 0u);

    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kBand));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kHelper));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, helperObject)) << "removed together with NoExplorer";
    EXPECT_FALSE(ReadKey(HKEY_LOCAL_MACHINE, kToolbarKey).contains(kBand));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, eventSource));

    EXPECT_TRUE(ReadKey(HKEY_LOCAL_MACHINE, kToolbarKey).contains(kOtherGuid));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kHelperObjectsKey) + L"\\" + kOtherGuid));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kEventLogKey) + L"\\Other"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kOpenServiceManager));
    EXPECT_EQ(ReadKey(HKEY_CURRENT_USER, kSettingsKey), settings) << "the user's settings and flags stay";
    EXPECT_EQ(settings.size(), 3u) << "password, setdefaultsearchprovider, ver_upd_not_day";
    EXPECT_EQ(ReadKey(HKEY_CURRENT_USER, kBrowserMainKey), browserMain) << "script-debugger values stay";
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kBrowserMainKey, L"DisableScriptDebuggerIE"), Sz(L"yes"));
    EXPECT_NE(GetFileAttributesW(ConfigPath().c_str()), INVALID_FILE_ATTRIBUTES) << "config.ini stays";
    EXPECT_EQ(IniValue(L"email"), L"user@example.com");
    EXPECT_EQ(IniValue(L"password"), kSecretDigest);
    EXPECT_EQ(IniValue(L"version"), L"1.1.05");
}

TEST_F(RegistrationTest, UnregistrationSucceedsWhenNothingIsRegistered)
{
    EXPECT_EQ(Unregister(), 0u) << "never registered";
    ASSERT_EQ(Register(), 0u);
    EXPECT_EQ(Unregister(), 0u);
    EXPECT_EQ(Unregister(), 0u) << "already unregistered";
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kBand));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kHelperObjectsKey) + L"\\" + kHelper));
}
} // namespace
