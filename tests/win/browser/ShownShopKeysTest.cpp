// ShownShopKeys: exact keys held once, reservations that are either recorded or given back, and the
// test-and-reserve step that lets only one of many threads through.
#include "browser/ShownShopKeys.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace
{
TEST(ShownShopKeys, KeysAreExactAndHeldOnce)
{
    ShownShopKeys keys;
    keys.Add(L"shop");
    keys.Add(L"shop");
    keys.Add(L"Shop");
    keys.Add(L"shop ");
    EXPECT_EQ(keys.Count(), 3u);
    EXPECT_TRUE(keys.Contains(L"shop"));
    EXPECT_TRUE(keys.Contains(L"Shop"));
    EXPECT_FALSE(keys.Contains(L"SHOP"));
    EXPECT_FALSE(keys.Contains(L"sho"));
    EXPECT_FALSE(keys.Reserve(L"shop")) << "a shown key cannot be reserved";
    keys.Clear();
    EXPECT_EQ(keys.Count(), 0u);
}

TEST(ShownShopKeys, AReservationIsRecordedOrGivenBack)
{
    ShownShopKeys keys;
    {
        ShownShopKeys::Reservation first = keys.Reserve(L"101");
        ASSERT_TRUE(first);
        EXPECT_FALSE(keys.Reserve(L"101")) << "held by the first attempt";
        EXPECT_FALSE(keys.Contains(L"101")) << "reserved is not yet shown";
        EXPECT_EQ(keys.Count(), 0u);
        EXPECT_TRUE(keys.Reserve(L"102")) << "other keys are free";
    }
    // Given back when the attempt stopped early.
    ShownShopKeys::Reservation second = keys.Reserve(L"101");
    ASSERT_TRUE(second);
    ShownShopKeys::Reservation moved = std::move(second);
    EXPECT_FALSE(second);
    moved.Record();
    EXPECT_FALSE(moved);
    EXPECT_TRUE(keys.Contains(L"101"));
    EXPECT_FALSE(keys.Reserve(L"101"));
    // A key recorded outright while reserved stays recorded when the reservation is given back.
    {
        ShownShopKeys::Reservation third = keys.Reserve(L"103");
        keys.Add(L"103");
    }
    EXPECT_TRUE(keys.Contains(L"103"));
}

TEST(ShownShopKeys, OnlyOneOfManyThreadsReservesAKey)
{
    ShownShopKeys keys;
    for (int round = 0; round < 50; ++round)
    {
        keys.Clear();
        std::atomic<int> ready{0};
        std::atomic<int> winners{0};
        std::vector<std::thread> threads;
        for (int i = 0; i < 8; ++i)
            threads.emplace_back(
                [&]
                {
                    ++ready;
                    while (ready.load() < 8)
                        std::this_thread::yield();
                    ShownShopKeys::Reservation reservation = keys.Reserve(L"shop");
                    if (reservation)
                    {
                        ++winners;
                        reservation.Record();
                    }
                });
        for (std::thread& thread : threads)
            thread.join();
        ASSERT_EQ(winners.load(), 1) << "round " << round;
    }
}
} // namespace
