// The toolbar band as a user meets it: its COM face and size, the buttons, the keyboard, the timer.
#include <windows.h>

#include <commctrl.h>

#include "core/ComHelper.h"
#include "host/MessagePump.h"
#include "host/TestBrowserHost.h"
#include "module/Guids.h"
#include "support/ScenarioTest.h"

using Band = ScenarioTest;

// Also run at 120 DPI (tests/win/CMakeLists.txt), where the images are 25 pixels square.
TEST_F(Band, AnswersItsInterfacesSizesAndTooltipsFollowsTheDisplayAndGoesWithItsSite)
{
    testhost::TestBrowserHost host({true, 1000, 300});
    ASSERT_EQ(host.ShowBand(kBandClsid), S_OK);
    IUnknown* band = host.Browser().Band();
    for (const IID* iid : {&IID_IUnknown, &IID_IOleWindow, &IID_IDockingWindow, &IID_IDeskBand, &IID_IInputObject,
                           &IID_IObjectWithSite, &IID_IPersistStream})
        EXPECT_EQ(band->QueryInterface(*iid, ComPtr<IUnknown>().ReceiveVoid()), S_OK);

    const HWND toolbar = host.Browser().BandWindow();
    RECT last{};
    SendMessageW(toolbar, TB_GETRECT, 19, reinterpret_cast<LPARAM>(&last));
    const HDC shown = GetDC(toolbar);
    const int dpi = GetDeviceCaps(shown, LOGPIXELSX);
    const LONG height = HIWORD(SendMessageW(toolbar, TB_GETBUTTONSIZE, 0, 0)) + 2 * (dpi / 96);
    const DESKBANDINFO& info = host.Browser().BandInfo();
    EXPECT_EQ(std::vector<LONG>({info.ptMinSize.y, info.ptMaxSize.y, info.ptActual.x, info.ptActual.y}),
              (std::vector<LONG>{height, height, last.right, height}));
    const auto images = reinterpret_cast<HIMAGELIST>(SendMessageW(toolbar, TB_GETIMAGELIST, 0, 0));
    int width = 0, side = 0;
    ImageList_GetIconSize(images, &width, &side);
    EXPECT_EQ(std::make_pair(width, side), std::make_pair(20 * dpi / 96, 20 * dpi / 96));
    testhost::PumpMessagesFor(300);
    int magenta = 0; // the images' transparent colour, or a blend of it, showing around them
    for (int y = 0; y < last.bottom; ++y)
        for (int x = 0; x < last.right; ++x)
        {
            const COLORREF pixel = GetPixel(shown, x, y);
            magenta += GetRValue(pixel) > 160 && GetGValue(pixel) < 110 && GetBValue(pixel) > 160 ? 1 : 0;
        }
    ReleaseDC(toolbar, shown);
    EXPECT_EQ(magenta, 0);

    // A tooltip is cut to its buffer and stays terminated; a separator has none and leaves the buffer alone.
    const std::tuple<int, int, std::wstring> tips[] = {{7, 8, L"Offers "}, {4, 256, std::wstring(255, L'x')}};
    for (const auto& [item, size, text] : tips)
    {
        std::wstring buffer(255, L'x');
        NMTBGETINFOTIPW tip{{toolbar, 0, TBN_GETINFOTIPW}, buffer.data(), size, item, 0};
        SendMessageW(GetParent(toolbar), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&tip));
        EXPECT_EQ(buffer.c_str(), text) << item;
    }
}

// A failing navigation is reported once, and the toolbar goes on working. A double-click opens one page.
SCENARIO(Band, EveryButtonOpensItsPage, R"(
    set ini email=anne@example.com password=0123456789abcdef0123456789abcdef
    open
    click-button 3
    type-search "100% #1?"
    click-button 3
    click-button 1
    double-click-logo
    click-button 5
    click-button 11
    click-button 13
    click-button 14
    click-button 18
    click-button 19
    navigate-result 80070005
    click-button 11
    answer Quillbury ok "An error occurred in {q}Quillbury Toolbar{q} : *"
    navigate-result 0
    drop-down 10
    expect-menu "Top Products" "Top Vouchers" "Top Cashback"
    command 40058
    command 40059
    command 40060
    expect-navigations "search/100%25 %231%3F\" "" "" "k3tq8w2m/tb.php?y={y}&t=anne%40example.com&m=0123456789abcdef0123456789abcdef&f={y}&PID=QLBY" free_cashback/ http://twitter.com/quillbury http://www.facebook.com/quillbury free_cashback/ hot_deals/ top_vouchers/ top_shops/
)")

SCENARIO(Band, TabAndShiftTabMoveBetweenSearchBoxAndButtonsEnterSearchesTabAndF6LeaveTheBand, R"(
    open band
    key tab
    expect tab focus=buttons
    key shift-tab
    expect tab focus=search
    type-search "red shoes"
    key enter
    expect-navigations "search/red shoes\"
    key shift-tab
    expect tab focus=content
    open band
    key tab
    key tab
    expect tab focus=content
    open band
    key f6
    expect tab focus=content
)")

// The real timer: idle until the main worker is done, then once (a later tick or notice shows nothing).
SCENARIO(Band, TheTimerShowsAmountsAndMessagesOnceTheWorkerIsDone, R"(
    set shared mainDone=0 noticeShown=0 approved=12.50£ pending=€3.00 wrongPasswordPending=1 notRegisteredPending=1 notice="Double cashback | this weekend"
    open band
    tick
    expect tab button18="£ 0.00"
    set shared mainDone=1
    answer Error no "You are already registered with Quillbury.*like to reset it, click YES."
    answer Error yes "You must be registered in order to take advantage of cashback. Click YES to register."
    answer "Quillbury Alert" ok "Double cashback | this weekend"
    expect tab button18=12.50£
    expect tab button19=€3.00
    expect-navigations register/
    tick
    set shared noticeShown=0
    wait 5500
)")

// For a user the installer never ran for, the first start digests an old plain password and consumes the flag.
SCENARIO(Band, TheFirstStartDoesTheUsersOwnPartOfTheSetup, R"(
    set ini email=old@example.com password=secret
    set reg setdefaultsearchprovider=true
    open band
    expect ini version=1.1.05 password=md5(secret)
    expect reg email=old@example.com password=md5(secret) setdefaultsearchprovider=
)")
