// Ownership: every handle is released exactly once, whatever moves and resets happen on the way.
#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "core/ScopedHandle.h"
#include "core/ThreadLocalStorage.h"

namespace
{
std::vector<int> released;

void RecordRelease(int value) noexcept
{
    released.push_back(value);
    SetLastError(ERROR_INVALID_HANDLE); // a release that clobbers the error code, as real ones may
}

using CountedHandle = GenericScopedHandle<int, &RecordRelease>;

class ScopedHandleTest : public testing::Test
{
protected:
    void SetUp() override { released.clear(); }
};

TEST_F(ScopedHandleTest, ReleasesExactlyOnceThroughMovesAndResets)
{
    {
        CountedHandle a(7);
        CountedHandle b(std::move(a));
        EXPECT_EQ(a.Get(), 0);
        CountedHandle c;
        c = std::move(b);
        auto& alias = c;
        c = std::move(alias); // self-move keeps the handle
        EXPECT_EQ(c.Get(), 7);
        EXPECT_TRUE(released.empty());
    }
    EXPECT_EQ(released, std::vector<int>{7});
}

TEST_F(ScopedHandleTest, ResetReleasesTheOldOneAndNeverAnEmptyOne)
{
    CountedHandle handle;
    handle.Reset(3);
    EXPECT_TRUE(released.empty()) << "nothing to release before the first handle";
    handle.Reset(4);
    handle.Reset(4); // the same handle again is not released
    EXPECT_EQ(released, std::vector<int>{3});
    *handle.Receive() = 5;
    EXPECT_EQ(released, (std::vector<int>{3, 4}));
    EXPECT_EQ(handle.Detach(), 5);
    handle.Reset();
    EXPECT_EQ(released, (std::vector<int>{3, 4}));
}

TEST_F(ScopedHandleTest, ResetKeepsTheCallersLastError)
{
    CountedHandle handle(9);
    SetLastError(ERROR_ACCESS_DENIED);
    handle.Reset();
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST(KernelHandle, TreatsBothInvalidValuesAsEmpty)
{
    KernelHandle invalid(INVALID_HANDLE_VALUE);
    EXPECT_FALSE(invalid);
    KernelHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event);
    const HANDLE raw = event.Get();
    event.Reset();
    EXPECT_FALSE(GetHandleInformation(raw, nullptr)) << "the event was closed";
}

TEST(ThreadLocalStorage, EachThreadSeesOnlyItsOwnValue)
{
    ThreadLocalStorage<int> slot;
    int mine = 1;
    EXPECT_EQ(slot.Get(), nullptr);
    slot.Set(&mine);
    int* seenElsewhere = &mine;
    std::thread([&] { seenElsewhere = slot.Get(); }).join();
    EXPECT_EQ(seenElsewhere, nullptr);
    EXPECT_EQ(slot.Get(), &mine);
    slot.Clear();
    EXPECT_EQ(slot.Get(), nullptr);
}
} // namespace
