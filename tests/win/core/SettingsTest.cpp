// The registry module, the account store and the shared block against Wine's registry, INI files and mappings.
#include <aclapi.h>

#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <span>
#include <thread>

#include "core/ActivationContext.h"
#include "module/Module.h"
#include "module/ProcessObjects.h"
#include "settings/AccountLock.h"
#include "settings/AccountStore.h"
#include "settings/Registry.h"
#include "settings/VistaSupport.h"
#include "support/TestSupport.h"

namespace
{
TEST(Registry, QueryStringReadsWholeStringsOnlyEvenWhileAnotherThreadRewritesThem)
{
    const RegistryKey key(HKEY_CURRENT_USER, L"Software\\QuillburyTests");
    // Name, type, data and its byte length, and the text read (null: reads as absent).
    const std::tuple<const wchar_t*, DWORD, std::wstring, DWORD, const wchar_t*> cases[] = {
        {L"dword", REG_DWORD, L"ab", 4, nullptr},
        {L"odd", REG_SZ, L"abc", 5, nullptr},
        {L"expand", REG_EXPAND_SZ, L"%WINDIR%", 18, L"%WINDIR%"},
        {L"embedded", REG_SZ, std::wstring(L"ab\0cd", 6), 12, L"ab"},
        {L"empty", REG_SZ, L"", 0, L""},
    };
    for (const auto& [name, type, data, bytes, expected] : cases)
    {
        ASSERT_EQ(RegSetValueExW(key.Get(), name, 0, type, reinterpret_cast<const BYTE*>(data.c_str()), bytes), 0);
        std::wstring text = L"untouched";
        EXPECT_EQ(key.QueryString(name, text), expected != nullptr) << name;
        EXPECT_EQ(text, expected ? expected : L"untouched") << name;
    }

    // Another thread or process may rewrite a value between QueryString's size query and its read.
    const std::wstring texts[] = {L"a", std::wstring(300, L'b')};
    std::atomic<bool> done = false;
    std::jthread writer(
        [&]
        {
            for (size_t n = 0; !done; ++n)
                key.SetString(L"racy", texts[n % 2]);
        });
    for (int n = 0; n < 5000 && !HasFailure(); ++n)
    {
        std::wstring text = texts[0];
        EXPECT_NO_THROW(key.QueryString(L"racy", text));
        EXPECT_TRUE(text == texts[0] || text == texts[1]) << testing::PrintToString(text);
    }
    done = true;
}

TEST(AccountStore, ReadsIniValuesOf255CharactersAtMostAndUpgradesAPlainPasswordOnlyWithoutAVersion)
{
    std::wstring email, password;
    const std::wstring config = DataFilePath(L"config.ini");
    DeleteFileW(config.c_str());
    WriteIniCredentials(std::wstring(300, L'\u0416'), L"digest");
    ReadIniCredentials(email, password);
    EXPECT_EQ(email + L" " + password, std::wstring(255, L'\u0416') + L" digest") << "UTF-16, cut at 255";
    ASSERT_TRUE(WriteFileBytes(config, "[config]\r\nemail=\xA3@x.uk\r\n")) << "an ANSI file keeps working";
    WriteIniValue(L"password", L"digest");
    ReadIniCredentials(email, password);
    EXPECT_EQ(email + L" " + password, L"\u00A3@x.uk digest");
    // INI version and password before; INI version, INI password and registry password after.
    const std::tuple<const wchar_t*, const wchar_t*, std::wstring, std::wstring> cases[] = {
        {L"1.0.9", L"secret", L"1.0.9 secret", L"registry copy"},
        {L"", L"", L"1.1.05 ", L"registry copy"},
        {L"", L"d943641d1ed7d29e955f36d6327ead93", L"1.1.05 d943641d1ed7d29e955f36d6327ead93", L"registry copy"},
    };
    for (const auto& [version, plain, iniAfter, registryAfter] : cases)
    {
        DeleteFileW(config.c_str());
        WriteRegistryCredentials(L"kept@example.com", L"registry copy");
        for (const auto& [name, value] : {std::pair(L"version", version), std::pair(L"password", plain)})
            if (*value)
                WriteIniValue(name, value);
        UpgradeSettings();
        ReadRegistryCredentials(email, password);
        EXPECT_EQ(ReadIniValue(L"version") + L" " + ReadIniValue(L"password"), iniAfter);
        EXPECT_EQ(email + L" " + password, L"kept@example.com " + registryAfter);
    }
}

// Also when the add-on's activation context cannot be made (the module has no manifest).
TEST(DataFolder, IsBelowTheLowIntegrityFolder)
{
    SetModuleInstance(GetModuleHandleW(L"kernel32.dll"));
    ReleaseModuleActivationContext();
    EXPECT_TRUE(DataFilePath(L"x").ends_with(L"\\AppData\\LocalLow\\Quillbury\\Toolbar\\x"));
    SetModuleInstance(GetModuleHandleW(nullptr));
    ReleaseModuleActivationContext();
}

TEST(SharedState, BlockAndAccountLockBelongToThisUserAloneAndTheBlockStandsInWhenItCannotBeMade)
{
    const KernelHandle squatter(CreateEventA(nullptr, TRUE, FALSE, "Quillbury_Test_Taken"));
    SharedState fresh("Quillbury_Test_Fresh"), substitute("Quillbury_Test_Taken");
    EXPECT_TRUE(fresh.IsShared() && !substitute.IsShared());
    EXPECT_TRUE(std::ranges::all_of(std::span(reinterpret_cast<const char*>(&substitute.Block()), sizeof(SharedBlock)),
                                    [](char byte) { return byte == 0; }));
    // Texts are cut to their fields (another process's share of the block: TwoProcessScenarios.cpp).
    std::fill(std::begin(Shared().approvedText), std::end(Shared().approvedText), L'x');
    StoreSharedText(Shared().noticeText, std::wstring(1000, L'n'));
    EXPECT_EQ(LoadSharedText(Shared().approvedText), std::wstring(25, L'x')) << "an unterminated field ends with it";
    EXPECT_EQ(LoadSharedText(Shared().noticeText), std::wstring(254, L'n'));
    EXPECT_EQ(Shared().reserved, L'\0') << "nothing written past the notice";
    // The block and the account lock grant this user alone.
    const AccountWriteLock held;
    const KernelHandle lock(OpenMutexW(READ_CONTROL, FALSE, L"Quillbury_AccountWriteLock"));
    KernelHandle token;
    BYTE user[256];
    DWORD size = 0;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive()) &&
                GetTokenInformation(token.Get(), TokenUser, user, sizeof user, &size));
    for (const HANDLE object : {Process().sharedState.Mapping(), lock.Get()})
    {
        PACL dacl = nullptr;
        LocalMemory descriptor;
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(GetSecurityInfo(object, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                    nullptr, descriptor.Receive()) == 0 &&
                    dacl && dacl->AceCount == 1 && GetAce(dacl, 0, reinterpret_cast<void**>(&ace)));
        EXPECT_TRUE(EqualSid(&ace->SidStart, reinterpret_cast<TOKEN_USER*>(user)->User.Sid));
    }
}
} // namespace
