// The error family: messages, locations and the catch rules the edges rely on.
#include "core/Errors.h"

#include <gtest/gtest.h>

#include "core/Bstr.h"
#include "core/ComHelper.h"

namespace
{
constexpr SourceLocation kSomewhere{L"Registry", 27};

TEST(FormatSystemMessage, GivesTheSystemTextOrTheCodeInHex)
{
    EXPECT_EQ(FormatSystemMessage(0x0002A000), L"Error code: 0x2a000");
    EXPECT_EQ(FormatSystemMessage(0xDEADBEEF), L"Error code: 0xdeadbeef");
    const std::wstring known = FormatSystemMessage(ERROR_ACCESS_DENIED);
    ASSERT_GE(known.size(), 2u);
    EXPECT_EQ(known.substr(known.size() - 2), L"\r\n") << "system text keeps its line break";
    EXPECT_EQ(known.find(L"Error code"), std::wstring::npos);
}

TEST(WindowsError, CarriesCodeAndSystemText)
{
    const windows_error error(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(error.code, 2u);
    EXPECT_EQ(error.message, FormatSystemMessage(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(error.file.empty());
    EXPECT_EQ(error.line, 0);
    EXPECT_STRNE(error.what(), "");
}

TEST(AtLocation, KeepsTheDynamicTypeAndSetsTheLocation)
{
    try
    {
        throw AtLocation(windows_error(ERROR_ACCESS_DENIED), kSomewhere);
    }
    catch (const wexception<std::runtime_error>& error)
    {
        EXPECT_EQ(error.file, L"Registry");
        EXPECT_EQ(error.line, 27);
        const auto* windows = dynamic_cast<const windows_error*>(&error);
        ASSERT_NE(windows, nullptr);
        EXPECT_EQ(windows->code, static_cast<unsigned long>(ERROR_ACCESS_DENIED));
    }
}

TEST(CatchRules, CheckedPointerIsNotAWindowsError)
{
    IUnknown* nothing = nullptr;
    bool caughtAsWindowsError = false;
    bool caughtAsFamily = false;
    try
    {
        try
        {
            CheckedPointer(nothing);
        }
        catch (const windows_error&)
        {
            caughtAsWindowsError = true;
        }
    }
    catch (const wexception<std::runtime_error>& error)
    {
        caughtAsFamily = true;
        EXPECT_EQ(error.message, L"Attempt to use an invalid COM pointer.");
        EXPECT_EQ(error.file, L"ComHelper");
        EXPECT_EQ(error.line, 59);
    }
    EXPECT_FALSE(caughtAsWindowsError);
    EXPECT_TRUE(caughtAsFamily);
}

TEST(CatchRules, InvalidArgumentIsOutsideTheFamily)
{
    bool caughtByFamily = false;
    try
    {
        try
        {
            throw wexception<std::invalid_argument>(L"bad");
        }
        catch (const wexception<std::runtime_error>&)
        {
            caughtByFamily = true;
        }
    }
    catch (const std::invalid_argument&)
    {
    }
    EXPECT_FALSE(caughtByFamily);
}

TEST(ComPtr, CallsThroughANullPointerThrowInsteadOfCrashing)
{
    ComPtr<IUnknown> empty;
    EXPECT_THROW(empty->AddRef(), wexception<std::runtime_error>);
}

TEST(NarrowToBstr, ConvertsAndKeepsNull)
{
    EXPECT_EQ(NarrowToBstr(nullptr), nullptr);
    BSTR text = NarrowToBstr("Caf\xe9");
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, L"Caf\u00e9");
    EXPECT_EQ(SysStringLen(text), 4u);
    SysFreeString(text);
}
} // namespace
