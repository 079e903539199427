// The toolbar band through real COM activation (the DLL registered with the prefix's regsvr32) in the test
// browser host, against the stand-in service: the band's interfaces and sizes, keyboard routing, focus,
// every button, the drop-down menus, the login flow's follow-up messages, the timer, and a failing
// handler. The test program shares the named shared block with the DLL it loads, so it can set the
// workers' results the toolbar shows.
#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <fstream>
#include <gtest/gtest.h>

#include "host/MessagePump.h"
#include "host/TestBrowserHost.h"
#include "host/WindowCapture.h"
#include "module/Guids.h"
#include "module/ProcessObjects.h"
#include "settings/AccountStore.h"
#include "settings/Registry.h"
#include "settings/VistaSupport.h"
#include "support/AddonRegistration.h"
#include "support/MenuDriver.h"
#include "support/MessageBoxDriver.h"
#include "win/net/StandinClient.h"

namespace
{
using testhost::PumpMessagesFor;
using testhost::PumpUntil;
using testhost::TestBrowserHost;

const std::wstring kBase = L"http://www.quillbury.co.uk/";

// Command ids of the buttons (their position plus one).
enum Button : int
{
    kLogo = 1,
    kSearch = 3,
    kMyAccount = 5,
    kOffers = 7,
    kVouchers = 8,
    kHotDeals = 10,
    kFreeCashback = 11,
    kTwitter = 13,
    kFacebook = 14,
    kSettings = 16,
    kApproved = 18,
    kPending = 19,
};

void ResetSharedBlock()
{
    SharedBlock& shared = Shared();
    shared.mainDone = 0;
    shared.mainRunning = 0;
    shared.noticeDone = 0;
    shared.noticeRunning = 0;
    shared.noticeShown = 0;
    shared.signedIn = 0;
    shared.wrongPasswordPending = 0;
    shared.notRegisteredPending = 0;
    StoreSharedText(shared.approvedText, L"");
    StoreSharedText(shared.pendingText, L"");
    StoreSharedText(shared.noticeText, L"");
}

class BandTest : public testing::Test
{
protected:
    static void SetUpTestSuite() { ASSERT_EQ(RunRegsvr32(L"/s"), 0u); }

    void SetUp() override
    {
        StandinControl(L"reset?log=1");
        ResetSharedBlock();
        // Workers are kept idle: the toolbar starts them only after the login flow when they are not done.
        Shared().mainRunning = 1;
        Shared().noticeRunning = 1;
        DeleteKeyTree(HKEY_CURRENT_USER, kSettingsKeyPath);
        DeleteFileW(DataFilePath(L"config.ini").c_str());
        DeleteFileW(DataFilePath(L"get_merchant.txt").c_str());
        host = std::make_unique<TestBrowserHost>(testhost::HostOptions{true, 1000, 300});
        ASSERT_EQ(host->ShowBand(kBandClsid), S_OK);
        band = host->Browser().Band();
        ASSERT_NE(band, nullptr);
        ASSERT_EQ(band->QueryInterface(IID_IDeskBand, reinterpret_cast<void**>(&deskBand)), S_OK);
        deskBand->Release(); // the host keeps the band alive
        deskBand->GetWindow(&toolbar);
        ASSERT_NE(toolbar, nullptr);
        PumpMessagesFor(100);
    }

    void TearDown() override
    {
        host.reset();
        ResetSharedBlock();
    }

    // Clicks a toolbar button the way the mouse does, then lets the messages run.
    void Click(int command)
    {
        if (command == kLogo)
        {
            // The logo is a button laid over the first slot: the mouse meets the button, not the toolbar.
            const HWND logo = FindWindowExW(toolbar, nullptr, L"Button", nullptr);
            ASSERT_NE(logo, nullptr);
            PostMessageW(logo, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
            PostMessageW(logo, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
            PumpMessagesFor(150);
            return;
        }
        RECT rect{};
        ASSERT_TRUE(SendMessageW(toolbar, TB_GETRECT, static_cast<WPARAM>(command), reinterpret_cast<LPARAM>(&rect)));
        const LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
        PostMessageW(toolbar, WM_MOUSEMOVE, 0, at);
        PostMessageW(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageW(toolbar, WM_LBUTTONUP, 0, at);
        PumpMessagesFor(150);
    }

    std::vector<std::wstring> Navigations() const
    {
        std::vector<std::wstring> urls;
        for (const auto& call : host->Browser().Navigations())
            urls.push_back(call.url);
        return urls;
    }

    HWND SearchBox() const { return FindWindowExW(toolbar, nullptr, L"Edit", nullptr); }

    std::wstring ButtonText(int command) const
    {
        wchar_t text[64] = {};
        TBBUTTONINFOW info{};
        info.cbSize = sizeof(info);
        info.dwMask = TBIF_TEXT;
        info.pszText = text;
        info.cchText = 64;
        SendMessageW(toolbar, TB_GETBUTTONINFOW, static_cast<WPARAM>(command), reinterpret_cast<LPARAM>(&info));
        return text;
    }

    std::unique_ptr<TestBrowserHost> host;
    IUnknown* band = nullptr;
    IDeskBand* deskBand = nullptr;
    HWND toolbar = nullptr;
};

TEST_F(BandTest, AnswersTheBandInterfacesOnly)
{
    for (const IID* iid : {&IID_IUnknown, &IID_IOleWindow, &IID_IDockingWindow, &IID_IDeskBand, &IID_IInputObject,
                           &IID_IObjectWithSite, &IID_IPersistStream})
    {
        IUnknown* part = nullptr;
        EXPECT_EQ(band->QueryInterface(*iid, reinterpret_cast<void**>(&part)), S_OK);
        if (part)
            part->Release();
    }
    void* refused = reinterpret_cast<void*>(1);
    EXPECT_EQ(band->QueryInterface(IID_IPersist, &refused), E_NOINTERFACE);
    EXPECT_EQ(refused, nullptr);

    IPersistStream* persist = nullptr;
    ASSERT_EQ(band->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist)), S_OK);
    CLSID clsid{};
    EXPECT_EQ(persist->GetClassID(&clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, kBandClsid));
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    persist->Release();
}

TEST_F(BandTest, SizesComeFromTheToolbar)
{
    DESKBANDINFO info{};
    info.dwMask = DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_ACTUAL | DBIM_INTEGRAL | DBIM_MODEFLAGS | DBIM_BKCOLOR;
    ASSERT_EQ(deskBand->GetBandInfo(0, 0, &info), S_OK);
    const LONG height = info.ptMinSize.y;
    EXPECT_GT(height, 20);
    EXPECT_EQ(info.ptMinSize.x, 20);
    EXPECT_EQ(info.ptMaxSize.x, -1);
    EXPECT_EQ(info.ptMaxSize.y, height);
    RECT last{};
    SendMessageW(toolbar, TB_GETRECT, kPending, reinterpret_cast<LPARAM>(&last));
    EXPECT_EQ(info.ptActual.x, last.right);
    EXPECT_EQ(info.ptIntegral.x, 1);
    EXPECT_EQ(info.dwModeFlags, static_cast<DWORD>(DBIMF_USECHEVRON | DBIMF_BREAK));
    EXPECT_EQ(info.dwMask & DBIM_BKCOLOR, 0u);

    // A band that was never sited has no toolbar.
    IDeskBand* bare = nullptr;
    ASSERT_EQ(
        CoCreateInstance(kBandClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDeskBand, reinterpret_cast<void**>(&bare)),
        S_OK);
    DESKBANDINFO empty{};
    empty.dwMask = DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_ACTUAL;
    EXPECT_EQ(bare->GetBandInfo(0, 0, &empty), S_OK);
    EXPECT_EQ(empty.ptMinSize.x, 20);
    EXPECT_EQ(empty.ptMinSize.y, 20);
    EXPECT_EQ(empty.ptMaxSize.y, 20);
    EXPECT_EQ(empty.ptActual.x, -1);
    IObjectWithSite* site = nullptr;
    bare->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&site));
    EXPECT_EQ(site->SetSite(nullptr), S_OK);
    site->Release();
    bare->Release();
}

TEST_F(BandTest, KeyboardRoutingAndFocus)
{
    IInputObject* input = nullptr;
    ASSERT_EQ(band->QueryInterface(IID_IInputObject, reinterpret_cast<void**>(&input)), S_OK);
    const HWND edit = SearchBox();
    ASSERT_NE(edit, nullptr);

    SetFocus(edit);
    PumpMessagesFor(50);
    EXPECT_EQ(input->HasFocusIO(), S_OK);
    ASSERT_FALSE(host->Site().FocusChanges().empty()) << "the site hears about the focus";
    EXPECT_TRUE(host->Site().FocusChanges().back().focused);

    MSG tab{edit, WM_KEYDOWN, VK_TAB, 0, 0, {}};
    EXPECT_EQ(input->TranslateAcceleratorIO(&tab), S_OK);
    EXPECT_EQ(GetFocus(), toolbar) << "Tab moves from the search box to the buttons";
    MSG tabAgain{toolbar, WM_KEYDOWN, VK_TAB, 0, 0, {}};
    EXPECT_EQ(input->TranslateAcceleratorIO(&tabAgain), S_FALSE) << "Tab on the buttons leaves the band";
    EXPECT_EQ(GetFocus(), toolbar);
    MSG f6{toolbar, WM_KEYDOWN, VK_F6, 0, 0, {}};
    EXPECT_EQ(input->TranslateAcceleratorIO(&f6), S_FALSE);

    // Shift+Tab from the buttons goes back to the search box.
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    EXPECT_EQ(input->TranslateAcceleratorIO(&tab), S_OK);
    EXPECT_EQ(GetFocus(), edit);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);

    // Enter in the search box searches; with an empty box it does nothing.
    SetWindowTextW(edit, L"");
    MSG enter{edit, WM_KEYDOWN, VK_RETURN, 0, 0, {}};
    EXPECT_EQ(input->TranslateAcceleratorIO(&enter), S_OK);
    PumpMessagesFor(50);
    EXPECT_TRUE(Navigations().empty());
    SetWindowTextW(edit, L"red shoes");
    EXPECT_EQ(input->TranslateAcceleratorIO(&enter), S_OK);
    PumpMessagesFor(50);
    EXPECT_EQ(Navigations(), std::vector<std::wstring>{kBase + L"search/red shoes\\"});

    SetFocus(host->ContentWindow());
    PumpMessagesFor(50);
    EXPECT_EQ(input->HasFocusIO(), S_FALSE);
    EXPECT_FALSE(host->Site().FocusChanges().back().focused);
    input->Release();
}

TEST_F(BandTest, EveryButtonDoesItsOneThing)
{
    WriteRegistryCredentials(L"anne@example.com", L"0123456789abcdef0123456789abcdef");
    SetWindowTextW(SearchBox(), L"");
    Click(kSearch);
    EXPECT_TRUE(Navigations().empty()) << "an empty search goes nowhere";
    SetWindowTextW(SearchBox(), L"100% #1?");
    Click(kSearch);
    Click(kLogo);
    Click(kMyAccount);
    Click(kFreeCashback);
    Click(kTwitter);
    Click(kFacebook);
    Click(kApproved);
    Click(kPending);
    const auto urls = Navigations();
    ASSERT_EQ(urls.size(), 6u);
    EXPECT_EQ(urls[0], kBase + L"search/100%25 %231%3F\\");
    EXPECT_EQ(urls[1], kBase);
    EXPECT_EQ(urls[2].rfind(kBase + L"k3tq8w2m/tb.php?y=", 0), 0u);
    EXPECT_NE(urls[2].find(L"&t=anne%40example.com&m=0123456789abcdef0123456789abcdef&f="), std::wstring::npos);
    EXPECT_EQ(urls[3], kBase + L"free_cashback/");
    EXPECT_EQ(urls[4], L"http://twitter.com/quillbury");
    EXPECT_EQ(urls[5], L"http://www.facebook.com/quillbury");
}

TEST_F(BandTest, TooltipsAreCutToTheirBuffer)
{
    wchar_t small[8] = {L'x', L'x', L'x', L'x', L'x', L'x', L'x', L'x'};
    NMTBGETINFOTIPW tip{};
    tip.hdr.hwndFrom = toolbar;
    tip.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(toolbar));
    tip.hdr.code = TBN_GETINFOTIPW;
    tip.pszText = small;
    tip.cchTextMax = 8;
    tip.iItem = kOffers;
    SendMessageW(GetParent(toolbar), WM_NOTIFY, tip.hdr.idFrom, reinterpret_cast<LPARAM>(&tip));
    EXPECT_STREQ(small, L"Offers ");

    wchar_t full[256] = {};
    tip.pszText = full;
    tip.cchTextMax = 256;
    tip.iItem = kSettings;
    SendMessageW(GetParent(toolbar), WM_NOTIFY, tip.hdr.idFrom, reinterpret_cast<LPARAM>(&tip));
    EXPECT_STREQ(full, L"Enter username and password");

    wchar_t untouched[4] = {L'u', 0, 0, 0};
    tip.pszText = untouched;
    tip.cchTextMax = 4;
    tip.iItem = 4; // a separator has no tooltip
    SendMessageW(GetParent(toolbar), WM_NOTIFY, tip.hdr.idFrom, reinterpret_cast<LPARAM>(&tip));
    EXPECT_STREQ(untouched, L"u");
}

TEST_F(BandTest, DropDownMenusBeforeAndAfterTheShopListIsLoaded)
{
    MenuDriver user;
    host->Browser().SetLocation(L"http://www.shop.example/basket");
    Click(kOffers);
    Click(kVouchers);
    Click(kHotDeals);
    ASSERT_TRUE(PumpUntil([&] { return user.Count() >= 3; }, 5000));
    auto menus = user.Seen();
    ASSERT_EQ(menus[0].size(), 1u);
    EXPECT_EQ(menus[0][0].text, L"No offers to display for this website");
    EXPECT_TRUE(menus[0][0].grayed);
    EXPECT_EQ(menus[1][0].text, L"No vouchers to display for this website");
    ASSERT_EQ(menus[2].size(), 3u);
    EXPECT_EQ(menus[2][2].text, L"Top Cashback");

    // Choosing "Top Cashback" opens the top shops page.
    PostMessageW(toolbar, WM_COMMAND, 40060, 0);
    PumpMessagesFor(100);
    EXPECT_EQ(Navigations().back(), kBase + L"top_shops/");

    // The main worker has the list ready: the timer loads it and the signed-in user sees the shop's offers.
    {
        std::ofstream list(DataFilePath(L"get_merchant.txt").c_str(), std::ios::binary);
        list << "http://www.shop.example/|1000<br>www.gadget.example|1001<br>";
    }
    Shared().signedIn = 1;
    Shared().mainDone = 1;
    ASSERT_TRUE(PumpUntil([&] { return ButtonText(kApproved) != L"\u00a3 0.00"; }, 8000));
    Click(kOffers);
    ASSERT_TRUE(PumpUntil([&] { return user.Count() >= 4; }, 8000));
    menus = user.Seen();
    ASSERT_FALSE(menus[3].empty());
    EXPECT_EQ(menus[3][0].id, 60001u);
    EXPECT_FALSE(menus[3][0].grayed);
    EXPECT_EQ(StandinRequestCount(L"get_offer.php"), 1);

    // Signed out, the service's answer is opened only when it is a web address.
    Shared().signedIn = 0;
    StandinControl(L"fixture?offers_reply=javascript:alert(1)");
    const size_t before = Navigations().size();
    Click(kOffers);
    ASSERT_TRUE(PumpUntil([&] { return user.Count() >= 5; }, 8000));
    EXPECT_EQ(Navigations().size(), before);
    EXPECT_EQ(user.Seen()[4][0].text, L"No offers to display for this website");
}

TEST_F(BandTest, TimerShowsCashbackMessagesAndTheNoticeOnce)
{
    MessageBoxDriver errors(L"Error", {IDNO});
    MessageBoxDriver alerts(L"Quillbury Alert");
    EXPECT_EQ(ButtonText(kApproved), L"\u00a3 0.00");
    StoreSharedText(Shared().approvedText, L"12.50\u00a3");
    StoreSharedText(Shared().pendingText, L"\u20ac3.00");
    Shared().wrongPasswordPending = 1;
    Shared().noticeDone = 1;
    StoreSharedText(Shared().noticeText, L"Double cashback | this weekend");
    Shared().mainDone = 1;
    ASSERT_TRUE(PumpUntil([&] { return ButtonText(kApproved) == L"12.50\u00a3"; }, 8000));
    EXPECT_EQ(ButtonText(kPending), L"\u20ac3.00");
    ASSERT_TRUE(PumpUntil([&] { return alerts.Seen().size() == 1; }, 5000));
    EXPECT_EQ(alerts.Seen()[0], L"Double cashback | this weekend");
    ASSERT_EQ(errors.Seen().size(), 1u);
    EXPECT_NE(errors.Seen()[0].find(L"You are already registered with Quillbury."), std::wstring::npos);
    EXPECT_EQ(Shared().wrongPasswordPending, 0);
    EXPECT_EQ(Shared().noticeShown, 1);
    PumpMessagesFor(5500); // another tick would show them again if the timer were still running
    EXPECT_EQ(errors.Seen().size(), 1u);
    EXPECT_EQ(alerts.Seen().size(), 1u);
}

TEST_F(BandTest, ASettingsCancelStartsTheIdleWorkersWhenSignedOut)
{
    Shared().mainRunning = 0;
    Shared().noticeRunning = 0;
    Shared().mainDone = 1; // the shop-list step is done; only the notice worker is idle
    std::thread user(
        []
        {
            HWND dialog = nullptr;
            for (int i = 0; i < 200 && !dialog; ++i, Sleep(25))
                dialog = FindProcessWindow(L"Quillbury : Login");
            if (dialog)
                PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        });
    Click(kSettings);
    user.join();
    EXPECT_TRUE(
        PumpUntil([] { return StandinRequestCount(L"check_notice.php") > 0 || Shared().noticeRunning == 0; }, 5000));
    EXPECT_TRUE(Navigations().empty()) << "Cancel navigates nowhere";
}

TEST_F(BandTest, AFailingHandlerIsReportedOnceAndTheToolbarKeepsWorking)
{
    MessageBoxDriver user(L"Quillbury");
    host->Browser().navigateResult = E_ACCESSDENIED;
    Click(kFreeCashback);
    ASSERT_EQ(user.WaitFor(1).size(), 1u);
    EXPECT_EQ(user.Seen()[0].rfind(L"An error occurred in \"Quillbury Toolbar\" : ", 0), 0u);
    host->Browser().navigateResult = S_OK;
    Click(kLogo);
    EXPECT_EQ(Navigations().back(), kBase);
    EXPECT_EQ(user.Seen().size(), 1u);
}

TEST_F(BandTest, ImagesFollowTheDisplayAndAScreenshotIsKept)
{
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    const auto images = reinterpret_cast<HIMAGELIST>(SendMessageW(toolbar, TB_GETIMAGELIST, 0, 0));
    ASSERT_NE(images, nullptr);
    int width = 0, height = 0;
    ImageList_GetIconSize(images, &width, &height);
    const int expected = dpi == 96 ? 20 : static_cast<int>(20.0f * static_cast<float>(dpi) / 96.0f);
    EXPECT_EQ(width, expected);
    EXPECT_EQ(height, expected);
    EXPECT_EQ(ImageList_GetImageCount(images), 17);

    PumpMessagesFor(300);
    CreateDirectoryW(L"screenshots", nullptr);
    const std::wstring path = L"screenshots\\band-" + std::to_wstring(dpi) + L".bmp";
    EXPECT_TRUE(testhost::SaveWindowBitmap(host->FrameWindow(), path));
}

TEST_F(BandTest, UnsitingDestroysTheToolbarAndUnadvises)
{
    IObjectWithSite* site = nullptr;
    ASSERT_EQ(band->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&site)), S_OK);
    EXPECT_EQ(site->SetSite(nullptr), S_OK);
    EXPECT_FALSE(IsWindow(toolbar));
    HWND window = reinterpret_cast<HWND>(1);
    deskBand->GetWindow(&window);
    EXPECT_EQ(window, nullptr);
    site->Release();
}
} // namespace
