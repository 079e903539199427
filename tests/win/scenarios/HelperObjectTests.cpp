// The helper object and the toolbar of this program's own copy, where the registered library shows too little.
#include <exdispid.h>

#include <atomic>
#include <future>
#include <thread>

#include "UserActions.h"
#include "browser/SearchBar.h"
#include "browser/SearchBrowserHelper.h"
#include "core/ErrorReport.h"
#include "host/TestBrowserHost.h"
#include "module/ProcessObjects.h"
#include "support/ScenarioTest.h"
#include "toolbar/SearchToolBar.h"
#include "toolbar/ShopListFile.h"

namespace
{
namespace th = testhost;
using Helper = ScenarioTest;
using Arrange = std::function<void(th::FakeWebBrowser&)>;
std::vector<std::wstring> reports; // "unit line" of each event-log entry
std::vector<DWORD> starts;         // the delay of each start of the main worker with its own flags

// A new helper sited with a browser that shows no band, its sink given the shops www.shopN.com (id N < 40).
struct Sited
{
    SearchBrowserHelper* helper = new SearchBrowserHelper();
    ::ComPtr<IObjectWithSite> object = ::ComPtr<IObjectWithSite>::Attach(helper);
    th::ComPtr<th::FakeWebBrowser> browser = th::FakeWebBrowser::Create({});
    ShopList shops;
    HRESULT sited;
    explicit Sited(const Arrange& arrange = [](auto&) {})
    {
        browser->showBrowserBarResult = E_FAIL;
        arrange(*browser.Get());
        sited = object->SetSite(static_cast<IWebBrowser2*>(browser.Get()));
        std::wstring list;
        for (int shop = 0; shop < 40; ++shop)
            list += L"http://www.shop" + std::to_wstring(shop) + L".com|" + std::to_wstring(shop) + L"<br>";
        ParseShopList(shops, list, SystemHostOfAddress);
        helper->EventSink().SetShopList(&shops);
        helper->EventSink().SetMainWorkerStarter(
            [](volatile LONG* done, volatile LONG* running, DWORD delay)
            { starts.push_back(done == &Shared().mainDone && running == &Shared().mainRunning ? delay : 99); });
    }
    ~Sited() { object->SetSite(nullptr); }
};

// Runs `work` capturing the event log and answering the message box of the report it should make.
void Reporting(bool expected, const std::function<void()>& work)
{
    reports.clear();
    const EventLogWriter previous = SetEventLogWriterForTesting([](DWORD, const std::array<std::wstring, 3>& strings)
                                                                { reports.push_back(strings[1] + L" " + strings[2]); });
    auto answer =
        std::async(std::launch::async,
                   [expected]
                   {
                       const HWND box =
                           expected ? useractions::WaitForProcessWindow(L"#32770", L"Quillbury", 10000) : nullptr;
                       const std::wstring text = box ? useractions::MessageText(box) : L"";
                       return box && useractions::PressDialogButton(box, IDOK), text;
                   });
    work();
    EXPECT_EQ(answer.get().find(L"An error occurred in \"Quillbury Toolbar\" : "), expected ? 0 : std::wstring::npos);
    SetEventLogWriterForTesting(previous);
}

// Without the events' connection point only, the hooks and the band are handled all the same.
TEST_F(Helper, SitingFailuresAreReportedWhereTheyHappen)
{
    const std::tuple<Arrange, HRESULT, const wchar_t*, bool> rows[] = {
        {[](auto& tab) { tab.refusedInterfaces = {IID_IServiceProvider}; }, E_FAIL, L"ComHelper 108", false},
        {[](auto& tab) { tab.queryServiceResult = E_NOINTERFACE; }, S_OK, nullptr, false},
        {[](auto& tab) { tab.findConnectionPointResult = CONNECT_E_NOCONNECTION; }, S_OK, nullptr, true},
        {[](auto& tab) { tab.ConnectionPoint()->adviseResult = CONNECT_E_CANNOTCONNECT; }, E_FAIL,
         L"SearchBrowserHelper 108", false}};
    for (const auto& [arrange, result, report, hooked] : rows)
    {
        std::unique_ptr<Sited> tab;
        Reporting(report != nullptr, [&] { tab = std::make_unique<Sited>(arrange); });
        EXPECT_EQ(tab->sited, result);
        EXPECT_EQ(reports, report ? std::vector<std::wstring>{report} : std::vector<std::wstring>{});
        EXPECT_EQ(tab->helper->AdviseCookie(), 0u);
        EXPECT_EQ(tab->helper->TabHook() != nullptr, hooked);
        EXPECT_EQ(tab->browser->BrowserBarCalls().size(), hooked ? 1u : 0u);
    }
}

// The service's account pages start a delayed worker every time, also while one runs; odd events do nothing.
TEST_F(Helper, TheServiceAccountPagesStartADelayedWorkerEveryTime)
{
    Sited tab;
    Shared().mainRunning = 1;
    for (const wchar_t* url : // the first four are account pages
         {L"http://www.quillbury.co.uk/get_password2", L"HTTP://WWW.QUILLBURY.CO.UK/INC/CHK_LOGIN.PHP?FRM=DETAILS",
          L"https://quillbury.co.uk/Save_My_EmPwd?x", L"http://www.shop.com/to?quillbury.co.uk/get_password2",
          L"http://www.other.com/save_my_empwd", L"http://www.quillbury.co.uk/save_my",
          L"http://www.quillbury.co.uk/inc/chk_login.php?frm=other"})
        tab.browser->FireBeforeNavigate2(url);
    for (const DISPID event : {DISPID_BEFORENAVIGATE2, DISPID_DOCUMENTCOMPLETE}) // no parameter block: nothing
        EXPECT_EQ(tab.helper->EventSink().Invoke(event, IID_NULL, 0, 1, nullptr, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(starts, std::vector<DWORD>(4, 1));
}

// A page that refuses the popup's insertion does not use up the shop: its next page gets the popup.
TEST_F(Helper, APageThatRefusesThePopupLeavesTheShopFree)
{
    Sited tab;
    Process().shownShopKeys.Clear();
    for (const HRESULT insert : {E_ACCESSDENIED, S_OK})
    {
        const auto page = th::FakeDocument::Create(L"<p>Offer</p>");
        page->Body()->insertResult = insert;
        tab.browser->SetDocument(page.Get());
        tab.browser->SetLocation(L"http://www.shop3.com/");
        tab.browser->FireDocumentComplete(L"http://www.shop3.com/");
        EXPECT_EQ(page->Scripts().size(), insert == S_OK ? 1u : 0u);
    }
}

// Windows (not Wine) sends WM_KILLFOCUS to the focus when it destroys it or a window holding it.
LRESULT CALLBACK KillFocusOnDestroy(int, WPARAM, LPARAM message)
{
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(message);
    if (call->message == WM_DESTROY && IsChild(call->hwnd, GetFocus()))
        SendMessageW(GetFocus(), WM_KILLFOCUS, 0, 0);
    return 0;
}

// A toolbar handler failing outside the error family (out of memory here) is logged, not dropped; the toolbar
// destroyed with the focus in its search box is still whole when the focus leaves.
TEST_F(Helper, AToolbarHandlerOutOfMemoryIsLoggedAndTheToolbarGoesWithTheFocus)
{
    struct : BandServices
    {
        ::ComPtr<IWebBrowser2> GetWebBrowser() override { return {}; }
        ::ComPtr<IInputObjectSite> GetInputObjectSite() override { return {}; }
        IUnknown* BandUnknown() override { return nullptr; }
        std::wstring GetSearchText() override { return {}; }
        void Navigate(const std::wstring&) override { throw std::bad_alloc(); }
    } band;
    const HWND parent =
        CreateWindowExW(0, L"STATIC", L"", WS_VISIBLE, 0, 0, 99, 99, nullptr, nullptr, nullptr, nullptr);
    const HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, KillFocusOnDestroy, nullptr, GetCurrentThreadId());
    Reporting(false,
              [&]
              {
                  SearchToolBar toolBar(band, parent);
                  SendMessageW(parent, WM_COMMAND, SearchToolBar::kLogo, reinterpret_cast<LPARAM>(toolBar.Window()));
                  SetFocus(FindWindowExW(toolBar.Window(), nullptr, L"Edit", nullptr));
                  EXPECT_NE(GetFocus(), nullptr);
              });
    UnhookWindowsHookEx(hook);
    DestroyWindow(parent);
    EXPECT_EQ(reports, std::vector<std::wstring>{L"ToolBar 111"});
}

// A band or a helper released while sited (SetSite(NULL) never came) leaves no sink and no frame hook behind.
TEST_F(Helper, ObjectsReleasedWhileSitedLeaveNoSinkOrFrameHook)
{
    th::TestBrowserHost host;
    auto* band = new SearchBar();
    ASSERT_EQ(band->SetSite(static_cast<IOleWindow*>(&host.Site())), S_OK);
    EXPECT_EQ(host.Browser().ConnectionPoint()->SinkCount(), 1u);
    band->Release();
    EXPECT_EQ(host.Browser().ConnectionPoint()->SinkCount(), 0u);
    std::thread([frame = host.FrameWindow()] { Sited tab([frame](auto& browser) { browser.SetFrameWindow(frame); }); })
        .join();
    const std::lock_guard guard(Process().frameHookLock);
    EXPECT_TRUE(Process().frameHooks.empty());
}

// Two tab threads of one frame share its hook until the second quits; completing one shop at once, one shows it.
TEST_F(Helper, TwoTabThreadsShareTheFrameHookAndShowAShopOnce)
{
    const HWND frame = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
    const auto hookUses = [thread = GetCurrentThreadId()]
    {
        const std::lock_guard guard(Process().frameHookLock);
        const auto found = Process().frameHooks.find(thread);
        return found == Process().frameHooks.end() ? -1 : found->second.hook ? found->second.useCount : -2;
    };
    std::atomic<int> arrivals{0}; // both threads meet at each round (the library's barrier loses wake-ups here)
    const auto together = [&arrivals](int round)
    {
        for (++arrivals; arrivals.load() < 2 * round;)
            std::this_thread::yield();
    };
    std::array<std::atomic<int>, 40> shown{};
    std::array<LONG, 4> uses{};
    Process().shownShopKeys.Clear();
    const auto run = [&](size_t tab)
    {
        Sited sited([frame](th::FakeWebBrowser& browser) { browser.SetFrameWindow(frame); });
        int round = 0;
        together(++round);
        uses[tab] = hookUses();
        for (size_t shop = 0; shop < shown.size(); ++shop)
        {
            together(++round);
            const auto url = L"http://www.shop" + std::to_wstring(shop) + L".com/";
            shown[shop] += sited.browser->Visit(url, L"<p>Offer</p>")->Scripts().size() == 1 ? 1 : 0;
        }
        if (tab == 0)
            sited.browser->FireOnQuit(), sited.object->SetSite(nullptr);
        together(++round);
        if (tab == 1)
            uses[2] = hookUses(), sited.browser->FireOnQuit(), uses[3] = hookUses();
    };
    std::thread first(run, 0), second(run, 1);
    first.join();
    second.join();
    DestroyWindow(frame);
    EXPECT_EQ(uses, (std::array<LONG, 4>{2, 2, 1, -1})) << "-1: no entry";
    for (const auto& count : shown)
        EXPECT_EQ(count.load(), 1);
}
} // namespace
