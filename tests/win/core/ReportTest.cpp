// The two reports as a user and a support engineer see them: the message box text and caption read back
// from the real box, and the event-log insertion strings in their order.
#include <gtest/gtest.h>
#include <mutex>
#include <vector>

#include "core/ErrorReport.h"
#include "module/Guids.h"
#include "support/MessageBoxDriver.h"

namespace
{
struct LoggedEvent
{
    DWORD id;
    std::array<std::wstring, 3> strings;
};

std::mutex loggedLock;
std::vector<LoggedEvent> logged;

void RecordEvent(DWORD eventId, const std::array<std::wstring, 3>& strings)
{
    const std::lock_guard guard(loggedLock);
    logged.push_back({eventId, strings});
}

class ReportTest : public testing::Test
{
protected:
    void SetUp() override
    {
        logged.clear();
        previous = SetEventLogWriterForTesting(&RecordEvent);
    }
    void TearDown() override { SetEventLogWriterForTesting(previous); }

    EventLogWriter previous = nullptr;
};

constexpr SourceLocation kRegistryOpen{L"Registry", 27};

TEST_F(ReportTest, LogErrorWritesMessageUnitAndLineInOrder)
{
    LogError(kWorkerThreadEventId, AtLocation(windows_error(ERROR_ACCESS_DENIED), kRegistryOpen));
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].id, 0xC0000001u);
    EXPECT_EQ(logged[0].strings[0], FormatSystemMessage(ERROR_ACCESS_DENIED));
    EXPECT_EQ(logged[0].strings[1], L"Registry");
    EXPECT_EQ(logged[0].strings[2], L"27");
}

TEST_F(ReportTest, ShowErrorShowsTheBoxThenLogs)
{
    MessageBoxDriver user(L"Quillbury");
    ShowError(AtLocation(wexception<std::runtime_error>(L"The toolbar could not be drawn."), {L"ToolBar", 42}));
    const auto texts = user.WaitFor(1);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], L"An error occurred in \"Quillbury Toolbar\" : The toolbar could not be drawn.");
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].id, 0xC0000002u);
    EXPECT_EQ(logged[0].strings[1], L"ToolBar");
    EXPECT_EQ(logged[0].strings[2], L"42");
}

TEST(LoadResourceString, CutsAt499AndGivesEmptyForMissingEntries)
{
    EXPECT_EQ(LoadResourceString(105), L"Quillbury");
    EXPECT_EQ(LoadResourceString(118), L"Quillbury Browser Helper Object");
    const std::wstring longText = LoadResourceString(60001);
    ASSERT_EQ(longText.size(), 499u);
    EXPECT_EQ(longText.substr(0, 12), L"012345678901");
    EXPECT_EQ(LoadResourceString(60999), L"");
}

TEST(GuidToString, BracedLowercase)
{
    const std::wstring text = GuidToString(kBandClsid);
    EXPECT_EQ(text, L"{4c8e1f27-93b5-4d0a-8e61-2f7a9c3b5d18}");
    EXPECT_EQ(text.size(), 38u);
    EXPECT_EQ(GuidToString(kHelperClsid), L"{b2d74e90-1a6c-4f38-9c25-7e0f3a8b6d41}");
}
} // namespace
