// The add-on against a service that misbehaves: connections dropped or reset, answers that stall before the
// headers or inside the body, garbage instead of HTTP, a header line that never ends, a 50 MB body. (The main
// worker meets the same in the worker scenarios.)
#include <windows.h>

#include <chrono>
#include <gtest/gtest.h>
#include <tuple>

#include "ProcessResources.h"
#include "net/WinHttpClient.h"
#include "support/ScenarioTest.h"
#include "support/TestSupport.h"

namespace
{
// The client with 2-second timeouts gives up within them, three attempts over, and frees what it read.
TEST(ClientFaults, GiveUpWithinTheTimeoutsAndFreeWhatWasRead)
{
    // The stand-in's scenario, the script asked for, what Send gives (0 refused, 1 accepted but cut short,
    // 2 accepted whole, -1 refused or accepted empty: Wine gives up on an endless header line that way) and
    // the seconds it may take.
    const std::tuple<const wchar_t*, const wchar_t*, int, double, double> rows[] = {
        {L"stall&seconds=10", L"check_version.php", 0, 1.8, 12},
        {L"stall&phase=body&sent=100&seconds=10", L"get_merchant.php", 1, 1.8, 6},
        {L"drop", L"check_version.php", 0, 0, 5},
        {L"drop&rst=1", L"check_version.php", 0, 0, 5},
        {L"garbage", L"check_version.php", 0, 0, 5},
        {L"endless_header", L"check_version.php", -1, 0, 12},
        {L"truncate", L"get_merchant.php", 1, 0, 5},
        {L"huge", L"check_version.php", 2, 0, 30},
    };
    for (const auto& [scenario, script, delivery, minSeconds, maxSeconds] : rows)
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(scenario)));
        StandinControl(L"reset");
        ASSERT_NE(StandinControl(std::wstring(L"scenario?set=") + scenario).find(L"\"ok\": true"), std::wstring::npos);
        const ResourceSnapshot before = TakeResourceSnapshot(false);
        const auto start = std::chrono::steady_clock::now();
        {
            WinHttpClient client(std::wstring(L"http://www.quillbury.co.uk/k3tq8w2m/") + script + L"?PID=QLBY",
                                 {0, 2000, 2000, 2000});
            const bool sent = client.Send(L"GET");
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            EXPECT_TRUE(seconds >= minSeconds && seconds <= maxSeconds) << seconds;
            EXPECT_TRUE(delivery < 0 ? !sent || !client.HasResponseText() : sent == (delivery > 0));
            EXPECT_TRUE(!sent || delivery <= 0 || client.TransferComplete() == (delivery == 2));
            EXPECT_TRUE(delivery != 2 ||
                        (client.ReceivedCount() == 50000000 && client.ResponseText().size() == 50000000 &&
                         client.ResponseBytes()[50000000] == 0)) // a zero byte follows the body
                << client.ReceivedCount();
        }
        const ResourceSnapshot after = TakeResourceSnapshot(false);
        EXPECT_LE(after.handles, before.handles + 2) << Describe(after);
        EXPECT_LT(after.pagefileUsage, before.pagefileUsage + (8u << 20)) << Describe(after);
    }
}

using Faults = ScenarioTest;

// The Offers drop-down on a shop's page shows its empty menu under each fault, in time, and the shop's
// offers once the service has recovered (the stalled row recovers within the drop-down's own attempts).
TEST_F(Faults, OffersShowTheEmptyMenuAndWorkAgainOnceTheServiceRecovers)
{
    const std::string empty = "\"No offers to display for this website (greyed)\"";
    RunRows(R"(
        set ini email=demo@example.com password=md5(cashback)
        set shared signedIn=1 noticeShown=1
        file get_merchant.txt "http://www.shop.example/|1000<br>"
        open band
        tick
        visit http://www.shop.example/basket?item=7
        service scenario?set={2}&path=get_offer.php
        drop-down 7
        expect-menu {3}
        service scenario?clear=all
        drop-down 7
        expect-menu "Up to 8% cashback on everything" * * * *
    )",
            {{"connection dropped", "drop", empty},
             {"garbage", "garbage", empty},
             {"server error", "error&code=500", empty},
             {"endless header", "endless_header", empty},
             {"50 MB without records", "huge", empty},
             {"first answer stalls", "stall&seconds=2&times=1", "\"Up to 8% cashback on everything\" * * * *"}});
}
} // namespace
