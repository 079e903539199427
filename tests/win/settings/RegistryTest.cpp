// The registry module against Wine's real registry: value kinds that must read as absent, terminators,
// and the stable locations of its failures.
#include "settings/Registry.h"

#include <gtest/gtest.h>

namespace
{
constexpr wchar_t kTestKey[] = L"Software\\QuillburyTests\\Registry";

class RegistryTest : public testing::Test
{
protected:
    void SetUp() override { DeleteKeyTree(HKEY_CURRENT_USER, kTestKey); }
    void TearDown() override { DeleteKeyTree(HKEY_CURRENT_USER, kTestKey); }

    static void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD size)
    {
        const RegistryKey key(HKEY_CURRENT_USER, kTestKey);
        ASSERT_EQ(RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    }
};

TEST_F(RegistryTest, OtherValueKindsReadAsAbsentAndLeaveTheOutputAlone)
{
    const DWORD number = 7;
    const BYTE binary[] = {'a', 0, 'b', 0};
    const wchar_t text[] = L"abc";
    SetRaw(L"dword", REG_DWORD, &number, sizeof(number));
    SetRaw(L"binary", REG_BINARY, binary, sizeof(binary));
    SetRaw(L"odd", REG_SZ, text, 5);
    const RegistryKey key(HKEY_CURRENT_USER, kTestKey);
    for (const wchar_t* name : {L"dword", L"binary", L"odd", L"missing"})
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        std::wstring output = L"untouched";
        EXPECT_FALSE(key.QueryString(name, output));
        EXPECT_EQ(output, L"untouched");
    }
}

TEST_F(RegistryTest, StringsStopAtTheirTerminatorOrTheirEnd)
{
    const wchar_t expandable[] = L"%WINDIR%\\x";
    const wchar_t unterminated[] = {L'a', L'b', L'c'};
    const wchar_t embedded[] = L"ab\0cd";
    SetRaw(L"expand", REG_EXPAND_SZ, expandable, sizeof(expandable));
    SetRaw(L"unterminated", REG_SZ, unterminated, sizeof(unterminated));
    SetRaw(L"embedded", REG_SZ, embedded, sizeof(embedded));
    SetRaw(L"empty", REG_SZ, L"", 0);
    const RegistryKey key(HKEY_CURRENT_USER, kTestKey);
    std::wstring text;
    ASSERT_TRUE(key.QueryString(L"expand", text));
    EXPECT_EQ(text, L"%WINDIR%\\x") << "not expanded";
    ASSERT_TRUE(key.QueryString(L"unterminated", text));
    EXPECT_EQ(text, L"abc");
    ASSERT_TRUE(key.QueryString(L"embedded", text));
    EXPECT_EQ(text, L"ab");
    ASSERT_TRUE(key.QueryString(L"empty", text));
    EXPECT_EQ(text, L"");
}

TEST_F(RegistryTest, WritesCountTheTerminatorAndDeletesAcceptAbsence)
{
    const RegistryKey key(HKEY_CURRENT_USER, kTestKey);
    key.SetString(L"name", L"Quillbury");
    DWORD type = 0;
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueExW(key.Get(), L"name", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 20u);
    key.SetDword(L"flag", 1);
    ASSERT_EQ(RegQueryValueExW(key.Get(), L"flag", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));

    key.DeleteValue(L"name");
    key.DeleteValue(L"name"); // already gone: still done
    EXPECT_EQ(key.ReadString(L"name"), L"");
    EXPECT_TRUE(DeleteKeyTree(HKEY_CURRENT_USER, L"Software\\QuillburyTests"));
    EXPECT_FALSE(DeleteKeyTree(HKEY_CURRENT_USER, L"Software\\QuillburyTests"));
}

TEST_F(RegistryTest, FailuresCarryTheirRegistryLocation)
{
    const auto badRoot = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x1234));
    try
    {
        const RegistryKey key(badRoot, L"Anything");
        FAIL() << "expected windows_error";
    }
    catch (const windows_error& error)
    {
        EXPECT_EQ(error.file, L"Registry");
        EXPECT_EQ(error.line, 27);
        EXPECT_NE(error.code, 0u);
    }
    try
    {
        DeleteKeyTree(badRoot, L"Anything");
        FAIL() << "expected windows_error";
    }
    catch (const windows_error& error)
    {
        EXPECT_EQ(error.line, 97);
    }
}
} // namespace
