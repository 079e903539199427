// The browser helper object in-process, under the test browser host: its interface table, siting, re-siting
// and tear-down with their failures, the idle workers, the keyboard hook shared by the tabs of one frame
// thread, and the page events: the delayed worker on the service's account pages and the shop popup with
// every condition of its decision, once per process across tab threads and again in a new process.
#include <windows.h>

#include <objbase.h>

#include <exdispid.h>
#include <mshtml.h>

#include <atomic>
#include <cwctype>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <optional>

#include "HelperTestSupport.h"
#include "browser/HtmlEscape.h"
#include "browser/SearchBar.h"
#include "core/Text.h"
#include "host/TestBrowserHost.h"
#include "module/Guids.h"
#include "module/Module.h"
#include "module/ProcessObjects.h"
#include "net/ServiceRequests.h"
#include "net/ServiceUrls.h"
#include "settings/AccountStore.h"
#include "settings/Registry.h"
#include "support/ChildProcess.h"
#include "support/MessageBoxDriver.h"
#include "toolbar/SearchToolBar.h"
#include "win/net/StandinClient.h"
#include "workers/MainWorker.h"

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv);

namespace
{
namespace th = testhost;
using namespace helper_test;

const std::wstring kErrorPrefix = L"An error occurred in \"Quillbury Toolbar\" : ";

// The delayed starts of the main worker that the sinks asked for (the seam replaces StartMainWorker).
struct WorkerStart
{
    volatile LONG* done;
    volatile LONG* running;
    DWORD delay;
};
std::vector<WorkerStart> workerStarts;

void RecordStart(volatile LONG* done, volatile LONG* running, DWORD delay)
{
    workerStarts.push_back({done, running, delay});
}

IWebBrowser2* AsBrowser(th::FakeWebBrowser& browser)
{
    return static_cast<IWebBrowser2*>(&browser);
}

// The popup is in the page: the template at the top of the body and the script call run once.
bool PopupShown(const th::FakeDocument& document)
{
    const auto scripts = document.Scripts();
    return document.BodyHtml().find(L"popupdiv") != std::wstring::npos && scripts.size() == 1 &&
           scripts[0].code.ends_with(L"Popup.show('popupdiv')");
}

bool Untouched(const th::FakeDocument& document, const std::wstring& body)
{
    return document.BodyHtml() == body && document.Scripts().empty();
}

bool ShopShown(const wchar_t* shopId)
{
    return Process().shownShopKeys.Contains(shopId);
}

// The frame-hook record of a thread: use count and hook, or nothing.
std::optional<std::pair<LONG, HHOOK>> FrameHookOf(DWORD thread)
{
    const std::lock_guard guard(Process().frameHookLock);
    const auto found = Process().frameHooks.find(thread);
    if (found == Process().frameHooks.end())
        return std::nullopt;
    return std::make_pair(found->second.useCount, found->second.hook.Get());
}

class HelperTest : public testing::Test
{
protected:
    void SetUp() override
    {
        SharedBlock& shared = Shared();
        shared.mainDone = 1;
        shared.noticeDone = 1;
        shared.mainRunning = 0;
        shared.noticeRunning = 0;
        shared.signedIn = 0;
        Process().shownShopKeys.Clear();
        workerStarts.clear();
    }
    void TearDown() override
    {
        if (helper)
            helper->SetSite(nullptr);
        helper.Reset();
    }

    // A new helper sited with the host's browser, as the browser sites it, with the test shop list and the
    // worker-start recorder.
    void SiteHelper()
    {
        helper = NewHelper();
        ASSERT_TRUE(helper);
        ASSERT_EQ(helper->SetSite(AsBrowser(host.Browser())), S_OK);
        Sink().SetShopList(&TestShops());
        Sink().SetMainWorkerStarter(&RecordStart);
    }
    SearchBHOBrowserEventSink& Sink() { return Helper(helper).EventSink(); }

    // A page load in the host's browser: BeforeNavigate2, then the document at the address, DocumentComplete.
    th::ComPtr<th::FakeDocument> Visit(const std::wstring& url, const std::wstring& body = L"<p>Welcome</p>")
    {
        return host.Browser().Visit(url, body);
    }

    th::TestBrowserHost host;
    ::ComPtr<IObjectWithSite> helper;
};

TEST_F(HelperTest, AnswersOnlyItsInterfaceTable)
{
    const long before = ModuleCount();
    ::ComPtr<IObjectWithSite> object = NewHelper();
    ASSERT_TRUE(object);
    EXPECT_EQ(ModuleCount(), before + 1);
    EXPECT_EQ(Process().helperSlot.Get(), &Helper(object));

    ::ComPtr<IUnknown> identity;
    ASSERT_EQ(object->QueryInterface(IID_IUnknown, identity.ReceiveVoid()), S_OK);
    for (const IID& iid : {IID_IUnknown, IID_IObjectWithSite})
    {
        ::ComPtr<IUnknown> answer;
        EXPECT_EQ(object->QueryInterface(iid, answer.ReceiveVoid()), S_OK);
        ::ComPtr<IUnknown> answerIdentity;
        ASSERT_EQ(answer->QueryInterface(IID_IUnknown, answerIdentity.ReceiveVoid()), S_OK);
        EXPECT_EQ(answerIdentity.Get(), identity.Get());
    }
    for (const IID& iid : {IID_IDispatch, IID_IPersist, IID_IOleWindow, IID_IServiceProvider, DIID_DWebBrowserEvents2,
                           IID_IClassFactory})
    {
        void* answer = &object;
        EXPECT_EQ(object->QueryInterface(iid, &answer), E_NOINTERFACE);
        EXPECT_EQ(answer, nullptr);
    }
    EXPECT_EQ(object->QueryInterface(IID_IUnknown, nullptr), E_INVALIDARG);

    identity.Reset();
    object.Reset();
    EXPECT_EQ(ModuleCount(), before);
    EXPECT_EQ(Process().helperSlot.Get(), nullptr);
}

TEST_F(HelperTest, NeverSitedHasNothingToTearDown)
{
    ::ComPtr<IObjectWithSite> object = NewHelper();
    ASSERT_TRUE(object);
    EXPECT_EQ(object->SetSite(nullptr), S_OK);
    void* site = &object;
    EXPECT_EQ(object->GetSite(IID_IUnknown, &site), E_FAIL);
    EXPECT_EQ(site, nullptr);
    EXPECT_EQ(object->GetSite(IID_IUnknown, nullptr), E_INVALIDARG);
}

TEST_F(HelperTest, SitingConnectsHooksShowsTheBandAndResitingReplacesAll)
{
    const size_t hooksBefore = Process().frameHooks.size();
    SiteHelper();
    th::FakeConnectionPoint& point = *host.Browser().ConnectionPoint();
    const DWORD firstCookie = Helper(helper).AdviseCookie();
    EXPECT_NE(firstCookie, 0u);
    EXPECT_EQ(point.SinkCount(), 1u);
    EXPECT_NE(Helper(helper).TabHook(), nullptr);
    ASSERT_EQ(host.Browser().BrowserBarCalls().size(), 1u);
    EXPECT_EQ(host.Browser().BrowserBarCalls()[0].clsidText, L"{4c8e1f27-93b5-4d0a-8e61-2f7a9c3b5d18}");
    EXPECT_TRUE(host.Browser().BrowserBarCalls()[0].show);

    ::ComPtr<IWebBrowser2> site;
    EXPECT_EQ(helper->GetSite(IID_IWebBrowser2, site.ReceiveVoid()), S_OK);
    EXPECT_EQ(site.Get(), AsBrowser(host.Browser()));
    site.Reset();

    // The frame window lives on this very thread: the tab hook covers it, no frame hook is shared.
    EXPECT_EQ(FrameHookOf(GetCurrentThreadId()), std::nullopt);
    EXPECT_EQ(Process().frameHooks.size(), hooksBefore);

    // Sited again with the same browser: the old connection is given back before the new one is made.
    ASSERT_EQ(helper->SetSite(AsBrowser(host.Browser())), S_OK);
    const DWORD secondCookie = Helper(helper).AdviseCookie();
    ASSERT_EQ(point.Calls().size(), 3u);
    EXPECT_TRUE(point.Calls()[0].advise);
    EXPECT_FALSE(point.Calls()[1].advise);
    EXPECT_EQ(point.Calls()[1].cookie, firstCookie);
    EXPECT_TRUE(point.Calls()[2].advise);
    EXPECT_EQ(point.Calls()[2].cookie, secondCookie);
    EXPECT_EQ(point.SinkCount(), 1u);
    EXPECT_NE(Helper(helper).TabHook(), nullptr);

    // The quit of a browser whose frame is on this thread changes no frame hook.
    host.Browser().FireOnQuit();
    EXPECT_EQ(Process().frameHooks.size(), hooksBefore);

    ASSERT_EQ(helper->SetSite(nullptr), S_OK);
    EXPECT_EQ(point.SinkCount(), 0u);
    EXPECT_EQ(point.Calls().back().cookie, secondCookie);
    EXPECT_FALSE(point.Calls().back().advise);
    EXPECT_EQ(Helper(helper).AdviseCookie(), 0u);
    EXPECT_EQ(Helper(helper).TabHook(), nullptr);
    void* none = &site;
    EXPECT_EQ(helper->GetSite(IID_IUnknown, &none), E_FAIL);
}

TEST_F(HelperTest, SitingFailuresAreReportedWhereTheyHappen)
{
    struct Case
    {
        const char* name;
        std::function<void(th::FakeWebBrowser&)> arrange;
        HRESULT result;
        const wchar_t* unit; // null: nothing reported
        const wchar_t* line;
        bool advised;
        bool tabHook;
        bool bandAsked;
    };
    const Case cases[] = {
        {"site without IServiceProvider",
         [](th::FakeWebBrowser& browser) { browser.refusedInterfaces = {IID_IServiceProvider}; }, E_FAIL, L"ComHelper",
         L"108", false, false, false},
        {"no web browser service", [](th::FakeWebBrowser& browser) { browser.queryServiceResult = E_NOINTERFACE; },
         S_OK, nullptr, nullptr, false, false, false},
        {"browser without connection points",
         [](th::FakeWebBrowser& browser) { browser.refusedInterfaces = {IID_IConnectionPointContainer}; }, E_FAIL,
         L"ComHelper", L"108", false, false, false},
        {"no events connection point",
         [](th::FakeWebBrowser& browser) { browser.findConnectionPointResult = CONNECT_E_NOCONNECTION; }, S_OK, nullptr,
         nullptr, false, true, true},
        {"advise refused",
         [](th::FakeWebBrowser& browser) { browser.ConnectionPoint()->adviseResult = CONNECT_E_CANNOTCONNECT; }, E_FAIL,
         L"SearchBrowserHelper", L"108", false, false, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        th::TestBrowserHost tab;
        c.arrange(tab.Browser());
        const CapturedReports reports;
        MessageBoxDriver user(L"Quillbury");
        ::ComPtr<IObjectWithSite> object = NewHelper();
        ASSERT_TRUE(object);
        EXPECT_EQ(object->SetSite(AsBrowser(tab.Browser())), c.result);
        EXPECT_EQ(Helper(object).AdviseCookie() != 0, c.advised);
        EXPECT_EQ(Helper(object).TabHook() != nullptr, c.tabHook);
        EXPECT_EQ(tab.Browser().BrowserBarCalls().size(), c.bandAsked ? 1u : 0u);
        if (c.unit)
        {
            const auto texts = user.WaitFor(1);
            ASSERT_EQ(texts.size(), 1u);
            EXPECT_TRUE(texts[0].starts_with(kErrorPrefix)) << testing::PrintToString(texts[0]);
            const auto entries = reports.Entries();
            ASSERT_EQ(entries.size(), 1u);
            EXPECT_EQ(entries[0][1], c.unit);
            EXPECT_EQ(entries[0][2], c.line);
        }
        else
        {
            EXPECT_TRUE(reports.Entries().empty());
            EXPECT_TRUE(user.Seen().empty());
        }
        // Whatever was left connected is given back.
        EXPECT_EQ(object->SetSite(nullptr), S_OK);
        EXPECT_EQ(tab.Browser().ConnectionPoint()->SinkCount(), 0u);
    }
}

TEST_F(HelperTest, SitingStartsOnlyTheIdleWorkers)
{
    ASSERT_NE(StandinPort(), 0) << "runs with the stand-in service";
    // No update prompt today; an account, so that the notice worker asks the service for its notice.
    RegistryKey(HKEY_CURRENT_USER, kSettingsKeyPath).SetString(L"ver_upd_not_day", TodayToken());
    WriteRegistryCredentials(L"helper@example.com", PasswordDigest(L"secret"));
    StandinControl(L"reset?log=1");
    SharedBlock& shared = Shared();

    // The main worker is running and the notice is done: nothing starts.
    shared.mainDone = 0;
    shared.mainRunning = 1;
    shared.noticeDone = 1;
    shared.noticeRunning = 0;
    SiteHelper();
    Sleep(1500);
    EXPECT_EQ(StandinRequestCount(L"get_merchant.php"), 0);
    EXPECT_EQ(StandinRequestCount(L"check_notice.php"), 0);
    EXPECT_EQ(shared.noticeRunning, 0);

    // Both idle: both start on the next siting.
    shared.mainRunning = 0;
    shared.noticeDone = 0;
    ASSERT_EQ(helper->SetSite(AsBrowser(host.Browser())), S_OK);
    const DWORD deadline = GetTickCount() + 60000;
    while ((StandinRequestCount(L"get_merchant.php") == 0 || StandinRequestCount(L"check_notice.php") == 0 ||
            shared.mainRunning != 0 || shared.noticeRunning != 0) &&
           GetTickCount() < deadline)
        Sleep(50);
    EXPECT_EQ(StandinRequestCount(L"get_merchant.php"), 1);
    EXPECT_EQ(StandinRequestCount(L"check_notice.php"), 1);
    EXPECT_EQ(shared.mainRunning, 0);
    EXPECT_EQ(shared.noticeRunning, 0);
    WriteRegistryCredentials(L"", L"");
}

TEST_F(HelperTest, TabsOfOneFrameThreadShareOneFrameHook)
{
    TabThread frameThread;
    TabThread firstTab;
    TabThread secondTab;
    HWND frame = nullptr;
    frameThread.Run([&] { frame = CreatePlainWindow(); });
    ASSERT_NE(frame, nullptr);

    struct Tab
    {
        th::ComPtr<th::FakeWebBrowser> browser;
        ::ComPtr<IObjectWithSite> helper;
    };
    Tab first;
    Tab second;
    const auto open = [frame](Tab& tab)
    {
        tab.browser = th::FakeWebBrowser::Create({frame, nullptr, nullptr});
        tab.helper = NewHelper();
        ASSERT_TRUE(tab.helper);
        EXPECT_EQ(tab.helper->SetSite(AsBrowser(*tab.browser.Get())), S_OK);
    };
    const auto close = [](Tab& tab)
    {
        if (tab.helper)
            tab.helper->SetSite(nullptr);
        tab.helper.Reset();
        tab.browser.Reset();
    };

    firstTab.Run([&] { open(first); });
    const auto afterFirst = FrameHookOf(frameThread.Id());
    ASSERT_TRUE(afterFirst);
    EXPECT_EQ(afterFirst->first, 1);
    EXPECT_NE(afterFirst->second, nullptr) << "a thread of this process can be hooked without a module";

    secondTab.Run([&] { open(second); });
    EXPECT_EQ(FrameHookOf(frameThread.Id()), std::make_pair(LONG{2}, afterFirst->second));

    // The first tab quits: the hook stays for the second. Its tear-down does not touch the hook.
    firstTab.Run([&] { first.browser->FireOnQuit(); });
    EXPECT_EQ(FrameHookOf(frameThread.Id()), std::make_pair(LONG{1}, afterFirst->second));
    firstTab.Run([&] { close(first); });
    EXPECT_EQ(FrameHookOf(frameThread.Id()), std::make_pair(LONG{1}, afterFirst->second));

    secondTab.Run([&] { second.browser->FireOnQuit(); });
    EXPECT_EQ(FrameHookOf(frameThread.Id()), std::nullopt);
    secondTab.Run([&] { close(second); });
    frameThread.Run([&] { DestroyWindow(frame); });
}

TEST_F(HelperTest, ServiceAccountPagesStartADelayedMainWorkerEveryTime)
{
    SiteHelper();
    const std::wstring domain = ServiceDomain();
    std::wstring upperDomain = domain;
    for (wchar_t& c : upperDomain)
        c = static_cast<wchar_t>(towupper(c));
    struct Case
    {
        std::wstring url;
        bool starts;
    };
    const Case cases[] = {
        {L"http://www." + domain + L"/get_password2", true},
        {L"HTTP://WWW." + upperDomain + L"/INC/CHK_LOGIN.PHP?FRM=DETAILS", true},
        {L"https://" + domain + L"/Save_My_EmPwd?step=2", true},
        // A plain search anywhere in the address.
        {L"http://www.shop.com/redirect?to=" + domain + L"/get_password2", true},
        {L"http://www." + domain + L"/", false},
        {L"http://www." + domain + L"/inc/chk_login.php?frm=other", false},
        {L"http://www." + domain + L"/save_my", false},
        {L"http://www.other.com/save_my_empwd", false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::PrintToString(c.url));
        workerStarts.clear();
        Shared().mainRunning = 1; // a running worker does not hold the start back
        host.Browser().FireBeforeNavigate2(c.url);
        ASSERT_EQ(workerStarts.size(), c.starts ? 1u : 0u);
        if (c.starts)
        {
            EXPECT_EQ(workerStarts[0].done, &Shared().mainDone);
            EXPECT_EQ(workerStarts[0].running, &Shared().mainRunning);
            EXPECT_EQ(workerStarts[0].delay, 1u);
        }
    }
    Shared().mainRunning = 0;
}

// The redirect link built in the second around the visit, as the page's HTML carries it (escaped).
bool CarriesRedirect(const std::wstring& body, const std::wstring& nonceBefore, const std::wstring& nonceAfter,
                     const ServiceAccount& account, bool signedIn, const std::wstring& shopId, const std::wstring& url)
{
    for (const std::wstring& nonce : {nonceBefore, nonceAfter})
        if (body.find(EscapeHtml(service_urls::Redirect(nonce, account, signedIn, shopId, url))) != std::wstring::npos)
            return true;
    return false;
}

TEST_F(HelperTest, ShowsThePopupOnAShopPageOncePerProcess)
{
    SiteHelper();
    const std::wstring url = L"http://www.shop-one.com/item?id=7&colour=red";
    const std::wstring nonceBefore = RequestNonce();
    const auto page = Visit(url, L"<p>Welcome</p>");
    const std::wstring nonceAfter = RequestNonce();
    ASSERT_TRUE(page);
    EXPECT_TRUE(PopupShown(*page.Get()));
    const std::wstring body = page->BodyHtml();
    EXPECT_TRUE(body.ends_with(L"<p>Welcome</p>"));
    EXPECT_EQ(page->Scripts()[0].language, L"JavaScript");
    // Signed out: the redirect link carries the shop and the page address, and no account.
    EXPECT_TRUE(CarriesRedirect(body, nonceBefore, nonceAfter, {}, false, L"101", url)) << testing::PrintToString(body);
    EXPECT_TRUE(ShopShown(L"101"));

    // Another page of the same shop, and the same page again: the popup was shown in this process.
    EXPECT_TRUE(Untouched(*Visit(L"http://www.shop-one.com/basket").Get(), L"<p>Welcome</p>"));
    EXPECT_TRUE(Untouched(*Visit(url).Get(), L"<p>Welcome</p>"));
    // Another shop still gets its own.
    EXPECT_TRUE(PopupShown(*Visit(L"https://checkout.second-shop.co.uk/pay").Get()));
    EXPECT_TRUE(ShopShown(L"SHOP-2"));
}

TEST_F(HelperTest, SignedInLinksCarryTheStoredAccount)
{
    SiteHelper();
    WriteRegistryCredentials(L"helper@example.com", PasswordDigest(L"secret"));
    Shared().signedIn = 1;
    const std::wstring url = L"http://www.shop-one.com/";
    const std::wstring nonceBefore = RequestNonce();
    const auto page = Visit(url);
    const std::wstring nonceAfter = RequestNonce();
    const ServiceAccount account{L"helper@example.com", PasswordDigest(L"secret")};
    EXPECT_TRUE(CarriesRedirect(page->BodyHtml(), nonceBefore, nonceAfter, account, true, L"101", url))
        << testing::PrintToString(page->BodyHtml());
    Shared().signedIn = 0;
    WriteRegistryCredentials(L"", L"");
}

TEST_F(HelperTest, EachConditionOfThePopupDecision)
{
    SiteHelper();
    const std::wstring body = L"<p>Welcome</p>";
    const auto fresh = [] { Process().shownShopKeys.Clear(); };

    {
        SCOPED_TRACE("no shop list on the thread, then a list not loaded yet");
        Sink().SetShopList(nullptr);
        EXPECT_TRUE(Untouched(*Visit(L"http://www.shop-one.com/").Get(), body));
        const ShopList notLoaded;
        Sink().SetShopList(&notLoaded);
        EXPECT_TRUE(Untouched(*Visit(L"http://www.shop-one.com/").Get(), body));
        Sink().SetShopList(&TestShops());
        EXPECT_FALSE(ShopShown(L"101"));
    }
    {
        SCOPED_TRACE("the service's domain anywhere in the address, in any case");
        std::wstring upperDomain = ServiceDomain();
        for (wchar_t& c : upperDomain)
            c = static_cast<wchar_t>(towupper(c));
        EXPECT_TRUE(Untouched(*Visit(L"http://www.shop-one.com/?from=http://WWW." + upperDomain + L"/").Get(), body));
        EXPECT_FALSE(ShopShown(L"101"));
    }
    {
        SCOPED_TRACE("the document completes after the browser moved on");
        const auto page = th::FakeDocument::Create(body);
        host.Browser().SetDocument(page.Get());
        host.Browser().SetLocation(L"http://www.shop-one.com/next");
        host.Browser().FireDocumentComplete(L"http://www.shop-one.com/first");
        EXPECT_TRUE(Untouched(*page.Get(), body));
        EXPECT_FALSE(ShopShown(L"101")) << "the shop is not recorded";
    }
    {
        SCOPED_TRACE("no shop's domain in the host");
        EXPECT_TRUE(Untouched(*Visit(L"http://www.unknown-store.com/shop-one.com").Get(), body));
        // The host is compared as written.
        EXPECT_TRUE(Untouched(*Visit(L"http://WWW.SHOP-ONE.COM/").Get(), body));
    }
    {
        SCOPED_TRACE("already shown in this process");
        Process().shownShopKeys.Add(L"101");
        EXPECT_TRUE(Untouched(*Visit(L"http://www.shop-one.com/").Get(), body));
        fresh();
    }
    {
        SCOPED_TRACE("an empty body, then a page with content");
        EXPECT_TRUE(Untouched(*Visit(L"http://www.shop-one.com/", L"").Get(), L""));
        EXPECT_FALSE(ShopShown(L"101"));
        EXPECT_TRUE(PopupShown(*Visit(L"http://www.shop-one.com/").Get()));
        fresh();
    }
    {
        SCOPED_TRACE("a browser object without a document, or one that is not a web browser");
        host.Browser().SetDocument(nullptr);
        host.Browser().SetLocation(L"http://www.shop-one.com/");
        EXPECT_EQ(host.Browser().FireDocumentComplete(L"http://www.shop-one.com/"), std::vector<HRESULT>{S_OK});
        const auto framePage = th::FakeDocument::Create(body);
        const auto frame = host.Browser().CreateFrameBrowser(L"http://www.shop-one.com/", framePage.Get());
        frame->refusedInterfaces = {IID_IWebBrowser2};
        host.Browser().FireDocumentComplete(L"http://www.shop-one.com/", AsBrowser(*frame.Get()));
        EXPECT_TRUE(Untouched(*framePage.Get(), body));
        EXPECT_FALSE(ShopShown(L"101"));
    }
    {
        SCOPED_TRACE("a host with more letters before the domain, and an address that cannot be split");
        EXPECT_TRUE(PopupShown(*Visit(L"http://myshop-one.com/").Get()));
        fresh();
        EXPECT_TRUE(PopupShown(*Visit(L"www.shop-one.com/page").Get()));
        fresh();
    }
    {
        SCOPED_TRACE("a frame whose own host is a shop gets the popup in its own document");
        const auto tabPage = Visit(L"http://www.news.example/");
        const auto framePage = th::FakeDocument::Create(body);
        const auto frame = host.Browser().CreateFrameBrowser(L"http://ads.second-shop.co.uk/f", framePage.Get());
        host.Browser().FireDocumentComplete(L"http://ads.second-shop.co.uk/f", AsBrowser(*frame.Get()));
        EXPECT_TRUE(PopupShown(*framePage.Get()));
        EXPECT_TRUE(Untouched(*tabPage.Get(), body));
        EXPECT_TRUE(ShopShown(L"SHOP-2"));
    }
}

// Whatever the browser passes, the sink neither crashes nor acts on what it cannot read.
TEST_F(HelperTest, MalformedEventArgumentsAreHarmless)
{
    SiteHelper();
    th::FakeDocument* page = nullptr;
    const auto document = th::FakeDocument::Create(L"<p>Welcome</p>");
    page = document.Get();
    host.Browser().SetDocument(page);
    host.Browser().SetLocation(L"http://www.shop-one.com/");

    BSTR nullText = nullptr;
    VARIANT nested;
    VariantInit(&nested);
    nested.vt = VT_BYREF | VT_VARIANT;
    nested.pvarVal = nullptr;
    struct Case
    {
        const char* name;
        VARTYPE vt;
        void* value;
    };
    const Case urls[] = {
        {"empty", VT_EMPTY, nullptr},
        {"null", VT_NULL, nullptr},
        {"null BSTR", VT_BSTR, nullptr},
        {"reference to a null BSTR", VT_BYREF | VT_BSTR, &nullText},
        {"null BSTR reference", VT_BYREF | VT_BSTR, nullptr},
        {"null VARIANT reference", VT_BYREF | VT_VARIANT, nullptr},
        {"reference to a null VARIANT reference", VT_BYREF | VT_VARIANT, &nested},
        {"a number", VT_I4, nullptr},
        {"a null object", VT_DISPATCH, nullptr},
    };
    for (const DISPID event : {DISPID_BEFORENAVIGATE2, DISPID_DOCUMENTCOMPLETE})
    {
        for (const Case& c : urls)
        {
            SCOPED_TRACE(testing::Message() << "event " << event << ", URL " << c.name);
            VARIANT arguments[7];
            for (VARIANT& argument : arguments)
                VariantInit(&argument);
            VARIANT& url = arguments[event == DISPID_BEFORENAVIGATE2 ? 5 : 0];
            url.vt = c.vt;
            url.byref = c.value;
            arguments[1].vt = VT_DISPATCH;
            arguments[1].pdispVal = AsBrowser(host.Browser());
            DISPPARAMS parameters = {arguments, nullptr, event == DISPID_BEFORENAVIGATE2 ? 7u : 2u, 0};
            EXPECT_EQ(Sink().Invoke(event, IID_NULL, 0, DISPATCH_METHOD, &parameters, nullptr, nullptr, nullptr), S_OK);
        }
        // Too few arguments, none at all, or no parameter block.
        VARIANT one;
        VariantInit(&one);
        DISPPARAMS shortList = {&one, nullptr, 1, 0};
        DISPPARAMS noArray = {nullptr, nullptr, 7, 0};
        EXPECT_EQ(Sink().Invoke(event, IID_NULL, 0, DISPATCH_METHOD, &shortList, nullptr, nullptr, nullptr), S_OK);
        EXPECT_EQ(Sink().Invoke(event, IID_NULL, 0, DISPATCH_METHOD, &noArray, nullptr, nullptr, nullptr), S_OK);
        EXPECT_EQ(Sink().Invoke(event, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr), S_OK);
    }
    EXPECT_TRUE(Untouched(*page, L"<p>Welcome</p>"));
    EXPECT_TRUE(workerStarts.empty());
    EXPECT_EQ(Sink().Invoke(DISPID_NAVIGATECOMPLETE2, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr),
              S_OK);

    // The URL as a plain string works as well as the browser's by-reference one.
    BSTR text = SysAllocString(L"http://www.shop-one.com/");
    VARIANT arguments[2];
    VariantInit(&arguments[0]);
    arguments[0].vt = VT_BSTR;
    arguments[0].bstrVal = text;
    VariantInit(&arguments[1]);
    arguments[1].vt = VT_DISPATCH;
    arguments[1].pdispVal = AsBrowser(host.Browser());
    DISPPARAMS parameters = {arguments, nullptr, 2, 0};
    EXPECT_EQ(
        Sink().Invoke(DISPID_DOCUMENTCOMPLETE, IID_NULL, 0, DISPATCH_METHOD, &parameters, nullptr, nullptr, nullptr),
        S_OK);
    SysFreeString(text);
    EXPECT_TRUE(PopupShown(*page));
}

// An object that fails the query for the web browser interface with something other than "no interface".
class FailingObject final : public IDispatch
{
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        *object = nullptr;
        if (iid == IID_IWebBrowser2)
            return E_ACCESSDENIED;
        if (iid != IID_IUnknown && iid != IID_IDispatch)
            return E_NOINTERFACE;
        *object = static_cast<IDispatch*>(this);
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }
};

TEST_F(HelperTest, AFailedQueryIsReportedAndItsCodeReturned)
{
    SiteHelper();
    const CapturedReports reports;
    MessageBoxDriver user(L"Quillbury");
    FailingObject object;
    EXPECT_EQ(host.Browser().FireDocumentComplete(L"http://www.shop-one.com/", &object),
              std::vector<HRESULT>{E_ACCESSDENIED});
    const auto texts = user.WaitFor(1);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_TRUE(texts[0].starts_with(kErrorPrefix));
    const auto entries = reports.Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0][1], L"ComHelper");
    EXPECT_EQ(entries[0][2], L"145");
    EXPECT_FALSE(ShopShown(L"101"));
}

// Two tabs of one process complete pages of the same shop at the same moment: exactly one shows the popup.
TEST_F(HelperTest, TwoTabThreadsShowAShopOnce)
{
    struct Tab
    {
        TabThread thread;
        th::ComPtr<th::FakeWebBrowser> browser;
        ::ComPtr<IObjectWithSite> helper;
        th::ComPtr<th::FakeDocument> page;
    };
    Tab tabs[2];
    for (Tab& tab : tabs)
        tab.thread.Run(
            [&tab]
            {
                tab.browser = th::FakeWebBrowser::Create({});
                tab.helper = NewHelper();
                ASSERT_TRUE(tab.helper);
                ASSERT_EQ(tab.helper->SetSite(AsBrowser(*tab.browser.Get())), S_OK);
                Helper(tab.helper).EventSink().SetShopList(&TestShops());
            });

    const std::wstring url = L"http://www.shop-one.com/offer";
    for (int round = 0; round < 40; ++round)
    {
        SCOPED_TRACE(testing::Message() << "round " << round);
        Process().shownShopKeys.Clear();
        std::atomic<int> ready{0};
        std::future<void> done[2];
        for (int i = 0; i < 2; ++i)
        {
            Tab& tab = tabs[i];
            done[i] = tab.thread.Post(
                [&tab, &ready, &url]
                {
                    tab.page = th::FakeDocument::Create(L"<p>Offer</p>");
                    tab.browser->SetDocument(tab.page.Get());
                    tab.browser->SetLocation(url);
                    ++ready;
                    while (ready.load() < 2)
                        YieldProcessor();
                    tab.browser->FireDocumentComplete(url);
                });
        }
        for (auto& wait : done)
            wait.get();
        const int shown = (PopupShown(*tabs[0].page.Get()) ? 1 : 0) + (PopupShown(*tabs[1].page.Get()) ? 1 : 0);
        ASSERT_EQ(shown, 1);
        EXPECT_TRUE(ShopShown(L"101"));
    }
    for (Tab& tab : tabs)
        tab.thread.Run(
            [&tab]
            {
                tab.helper->SetSite(nullptr);
                tab.helper.Reset();
                tab.page.Reset();
                tab.browser.Reset();
            });
}

// A second browser process: this program starts itself again to play it.
TEST(HelperChild, ShowsTheShopAgain)
{
    th::TestBrowserHost host;
    ::ComPtr<IObjectWithSite> object = NewHelper();
    ASSERT_TRUE(object);
    ASSERT_EQ(object->SetSite(AsBrowser(host.Browser())), S_OK);
    Helper(object).EventSink().SetShopList(&TestShops());
    EXPECT_TRUE(PopupShown(*host.Browser().Visit(L"http://www.shop-one.com/", L"<p>Again</p>").Get()));
    object->SetSite(nullptr);
}

TEST_F(HelperTest, ANewProcessShowsTheShopAgain)
{
    SiteHelper();
    ASSERT_TRUE(PopupShown(*Visit(L"http://www.shop-one.com/").Get()));
    ASSERT_TRUE(Untouched(*Visit(L"http://www.shop-one.com/").Get(), L"<p>Welcome</p>"));
    EXPECT_EQ(RunThisProgramAsChild(L"HelperChild.*", L"ShowsTheShopAgain"), 0u);
}

// With the band's class served in this apartment, siting shows the band, focuses its search box and hands
// the sink the toolbar's shop list.
TEST_F(HelperTest, ShowsTheBandFocusesItsSearchBoxAndTakesItsShopList)
{
    ::ComPtr<IClassFactory> bandFactory;
    ASSERT_EQ(DllGetClassObject(kBandClsid, IID_IClassFactory, bandFactory.ReceiveVoid()), S_OK);
    DWORD registration = 0;
    ASSERT_EQ(
        CoRegisterClassObject(kBandClsid, bandFactory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &registration),
        S_OK);
    th::HostOptions options;
    options.visible = true;
    th::TestBrowserHost visibleHost(options);
    ::ComPtr<IObjectWithSite> object = NewHelper();
    ASSERT_TRUE(object);
    EXPECT_EQ(object->SetSite(AsBrowser(visibleHost.Browser())), S_OK);

    const SearchBar* band = CurrentThreadBand();
    ASSERT_NE(band, nullptr);
    SearchToolBar* toolBar = band->ToolBarWindow();
    ASSERT_NE(toolBar, nullptr);
    EXPECT_EQ(Helper(object).EventSink().Shops(), &toolBar->Shops());
    EXPECT_EQ(GetFocus(), toolBar->SearchBox());

    // With a text: it replaces the box's contents and the caret goes after it.
    EXPECT_TRUE(Helper(object).ShowToolbarBand(L"running shoes"));
    wchar_t text[64] = {};
    GetWindowTextW(toolBar->SearchBox(), text, 64);
    EXPECT_STREQ(text, L"running shoes");
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(toolBar->SearchBox(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 13u);
    EXPECT_EQ(end, 13u);

    object->SetSite(nullptr);
    object.Reset();
    visibleHost.Browser().Quit();
    CoRevokeClassObject(registration);
}
} // namespace
