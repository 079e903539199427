// The client and the Offers drop-down against a misbehaving service (the main worker's: WorkerScenarios.cpp).
#include <chrono>
#include <gtest/gtest.h>
#include <tuple>

#include "net/WinHttpClient.h"
#include "support/ScenarioTest.h"
#include "support/TestSupport.h"

namespace
{
// The client with 2-second timeouts gives up within them, three attempts over (what the worker's runs under such
// faults leave behind: WorkerScenarios.cpp).
TEST(ClientFaults, GiveUpWithinTheTimeoutsAndFreeWhatWasRead)
{
    // Scenario, script, whether Send accepts a cut-short body, and the seconds it may take.
    const std::tuple<const wchar_t*, const wchar_t*, bool, double, double> rows[] = {
        {L"stall&seconds=10", L"check_version.php", false, 1.8, 12},
        {L"stall&phase=body&sent=100&seconds=10", L"get_merchant.php", true, 1.8, 6},
        {L"garbage", L"check_version.php", false, 0, 5},
    };
    for (const auto& [scenario, script, accepted, minSeconds, maxSeconds] : rows)
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(scenario)));
        StandinControl(L"reset");
        ASSERT_NE(StandinControl(std::wstring(L"scenario?set=") + scenario).find(L"\"ok\": true"), std::wstring::npos);
        const auto start = std::chrono::steady_clock::now();
        WinHttpClient client(std::wstring(L"http://www.quillbury.co.uk/k3tq8w2m/") + script + L"?PID=QLBY",
                             {0, 2000, 2000, 2000});
        EXPECT_EQ(client.Send(L"GET"), accepted);
        EXPECT_FALSE(client.TransferComplete());
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_TRUE(seconds >= minSeconds && seconds <= maxSeconds) << seconds;
    }
}

using Faults = ScenarioTest;

// The Offers drop-down shows its empty menu under a fault, in time, and the offers once the service recovers.
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
             {"50 MB without records", "huge", empty},
             {"first answer stalls", "stall&seconds=2&times=1", "\"Up to 8% cashback on everything\" * * * *"}});
}
} // namespace
