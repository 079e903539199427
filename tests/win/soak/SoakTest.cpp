// Many tabs in one process, as a browser that runs for days sees them, and a worker that outlives its tab.
#include <windows.h>

#include <gtest/gtest.h>

#include "ProcessResources.h"
#include "host/MessagePump.h"
#include "host/TestBrowserHost.h"
#include "module/Guids.h"
#include "module/ProcessObjects.h"
#include "settings/VistaSupport.h"
#include "support/ScenarioTest.h"
#include "support/TestSupport.h"

namespace
{
// One tab: the band's timer loads the list; its own shop's page gets the popup, another page does not.
bool RunTab(int shop)
{
    testhost::TestBrowserHost tab;
    testhost::FakeWebBrowser& browser = tab.Browser();
    if (FAILED(browser.CreateHelperObject(kHelperClsid)) || !browser.BandWindow())
        return false;
    SendMessageW(browser.BandWindow(), WM_TIMER, 1 /* the toolbar's refresh */, 0);
    const auto shopPage =
        browser.Visit(L"http://www.shop" + std::to_wstring(10000 + shop).substr(1) + L".example/", L"<p>Basket</p>");
    const auto otherPage = browser.Visit(L"http://www.news.example/today", L"<p>News</p>");
    testhost::PumpMessagesFor(0);
    return shopPage && shopPage->Scripts().size() == 1 && otherPage && otherPage->Scripts().empty();
}

using Soak = ScenarioTest;

// After 250 tabs to warm up (Wine's private bytes climb some 4 MiB), 500 more leave every resource as it was.
TEST_F(Soak, FiveHundredTabsLeaveNothingBehindAndTheLibraryUnloads)
{
    constexpr int kWarmUpTabs = 250, kTabs = 750;
    std::string list;
    for (int shop = 0; shop < kTabs; ++shop)
        list +=
            "http://www.shop" + std::to_string(10000 + shop).substr(1) + ".example/|" + std::to_string(shop) + "<br>";
    ASSERT_TRUE(WriteFileBytes(DataFilePath(L"get_merchant.txt"), list));
    Shared().noticeShown = 1;
    ResourceSnapshot before;
    int good = 0;
    for (int tab = 0; tab < kTabs; ++tab)
    {
        if (tab == kWarmUpTabs)
            before = (testhost::PumpMessagesFor(200), TakeResourceSnapshot());
        good += RunTab(tab) ? 1 : 0;
    }
    const ResourceSnapshot after = (testhost::PumpMessagesFor(200), TakeResourceSnapshot());
    SCOPED_TRACE(testing::Message() << Describe(before) << L" -> " << Describe(after));
    EXPECT_EQ(good, kTabs);
    EXPECT_LE(after.handles, before.handles + 2); // objects the system makes once, lazily (a theme, a font)
    EXPECT_LE(after.gdiObjects, before.gdiObjects + 2);
    EXPECT_LE(after.userObjects, before.userObjects + 2);
    EXPECT_LT(after.pagefileUsage, before.pagefileUsage + (2u << 20));
    EXPECT_LT(after.heapBusyBytes, before.heapBusyBytes + (256u << 10)); // a page or script text a tab: 5 MB
    CoFreeUnusedLibrariesEx(0 /* no delay */, 0);
    EXPECT_EQ(GetModuleHandleW(L"Quillbury.dll"), nullptr);
}

// A worker inside its version check when the tab closes keeps the library loaded until it has returned.
SCENARIO(Soak, AWorkerInsideARequestKeepsTheLibraryLoaded, R"(
    set shared mainDone=0
    service scenario?set=stall&seconds=6&times=1&path=check_version.php
    open
    wait-request check_version.php?PID=QLBY
    close
    expect shared mainRunning=1
    expect-held
    wait-idle
    expect shared mainDone=1
    expect-requests get_merchant.php?PID=QLBY check_version.php?PID=QLBY check_version.php?PID=QLBY
)")
} // namespace
