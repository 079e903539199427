// The account store: the data folder, INI limits, the registry copy and the one-time upgrade.
#include "settings/AccountStore.h"

#include <gtest/gtest.h>

#include "core/Text.h"
#include "settings/Registry.h"
#include "settings/VistaSupport.h"

namespace
{
class AccountStoreTest : public testing::Test
{
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean()
    {
        DeleteFileW(DataFilePath(L"config.ini").c_str());
        DeleteKeyTree(HKEY_CURRENT_USER, kSettingsKeyPath);
    }
    static std::wstring RegistryValue(const wchar_t* name)
    {
        return RegistryKey(HKEY_CURRENT_USER, kSettingsKeyPath).ReadString(name);
    }
};

TEST_F(AccountStoreTest, DataFolderIsBelowTheLowIntegrityAppDataAndMayAlreadyExist)
{
    const std::wstring first = DataFilePath(L"config.ini");
    ASSERT_FALSE(first.empty());
    EXPECT_NE(first.find(L"\\Quillbury\\Toolbar\\config.ini"), std::wstring::npos) << testing::PrintToString(first);
    EXPECT_NE(first.find(L"LocalLow"), std::wstring::npos) << testing::PrintToString(first);
    const std::wstring folder = first.substr(0, first.size() - std::wstring(L"\\config.ini").size());
    EXPECT_NE(GetFileAttributesW(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ(DataFilePath(L"config.ini"), first) << "an existing folder is accepted";
}

TEST_F(AccountStoreTest, IniValuesAreCutAt255Characters)
{
    const std::wstring longEmail(300, L'e');
    WriteIniCredentials(longEmail, L"digest");
    std::wstring email, password;
    ReadIniCredentials(email, password);
    EXPECT_EQ(email, longEmail.substr(0, 255));
    EXPECT_EQ(password, L"digest");
}

TEST_F(AccountStoreTest, RegistryCopyRoundTripsAndReadsEmptyWhenMissing)
{
    std::wstring email = L"x", password = L"y";
    ReadRegistryCredentials(email, password);
    EXPECT_EQ(email, L"");
    EXPECT_EQ(password, L"");
    WriteRegistryCredentials(L"anne@example.com", L"0123456789abcdef0123456789abcdef");
    ReadRegistryCredentials(email, password);
    EXPECT_EQ(email, L"anne@example.com");
    EXPECT_EQ(password, L"0123456789abcdef0123456789abcdef");
}

TEST_F(AccountStoreTest, UpgradeDigestsAPlainPasswordOnce)
{
    WriteIniCredentials(L"anne@example.com", L"cashback");
    UpgradeSettings();
    const std::wstring digest = PasswordDigest(L"cashback");
    EXPECT_EQ(ReadIniValue(L"password"), digest);
    EXPECT_EQ(RegistryValue(L"password"), digest);
    EXPECT_EQ(RegistryValue(L"email"), L"") << "the upgrade leaves the registry e-mail alone";
    EXPECT_EQ(ReadIniValue(L"version"), L"1.1.05");

    UpgradeSettings(); // a second run changes nothing
    EXPECT_EQ(ReadIniValue(L"password"), digest);
}

TEST_F(AccountStoreTest, UpgradeStampsTheVersionEvenWithoutAPasswordAndRespectsAnyStamp)
{
    UpgradeSettings();
    EXPECT_EQ(ReadIniValue(L"version"), L"1.1.05");
    EXPECT_EQ(ReadIniValue(L"password"), L"");

    Clean();
    WriteIniValue(L"version", L"1.0.9");
    WriteIniCredentials(L"anne@example.com", L"plain");
    UpgradeSettings();
    EXPECT_EQ(ReadIniValue(L"password"), L"plain") << "any earlier stamp means the upgrade ran";
    EXPECT_EQ(ReadIniValue(L"version"), L"1.0.9");
}
} // namespace
