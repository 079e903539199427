// The test browser host itself: what its site and browser answer, the event connection and the exact
// argument layout of the events, the page document, ShowBrowserBar with a band registered through COM, the
// helper objects and Quit, the navigation log, key routing, pumps and screenshots.
#include <windows.h>

#include <objbase.h>

#include <exdispid.h>

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>

#include "TestGuests.h"
#include "host/MessagePump.h"
#include "host/TestBrowserHost.h"
#include "host/WindowCapture.h"

using namespace testhost;
using namespace hosttest;

namespace
{

// {6B0F3C2E-5A41-4E97-B7C8-1D2E3F405161}, {6B0F3C2E-5A41-4E97-B7C8-1D2E3F405162}: the in-test guests.
constexpr CLSID kTestBandClsid = {0x6b0f3c2e, 0x5a41, 0x4e97, {0xb7, 0xc8, 0x1d, 0x2e, 0x3f, 0x40, 0x51, 0x61}};
constexpr CLSID kTestHelperClsid = {0x6b0f3c2e, 0x5a41, 0x4e97, {0xb7, 0xc8, 0x1d, 0x2e, 0x3f, 0x40, 0x51, 0x62}};

TestClassFactory<TestBand> bandFactory;
TestClassFactory<TestHelper> helperFactory;

IUnknown* Identity(IUnknown* object)
{
    IUnknown* identity = nullptr;
    object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
    identity->Release();
    return identity;
}

class HostTest : public testing::Test
{
protected:
    void SetUp() override
    {
        TestBand::record = {};
        TestBand::keyAnswer = S_OK;
        TestHelper::record = {};
        ASSERT_EQ(S_OK, CoRegisterClassObject(kTestBandClsid, &bandFactory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                              &bandCookie));
        ASSERT_EQ(S_OK, CoRegisterClassObject(kTestHelperClsid, &helperFactory, CLSCTX_INPROC_SERVER,
                                              REGCLS_MULTIPLEUSE, &helperCookie));
        host = std::make_unique<TestBrowserHost>();
    }

    void TearDown() override
    {
        host.reset();
        CoRevokeClassObject(bandCookie);
        CoRevokeClassObject(helperCookie);
        EXPECT_EQ(0, TestBand::record.alive) << "the host must release its band";
        EXPECT_EQ(0, TestHelper::record.alive) << "the host must release its helper objects";
    }

    FakeWebBrowser& Browser() { return host->Browser(); }

    ComPtr<TestSink> Advise(DWORD* cookie = nullptr)
    {
        ComPtr<TestSink> sink = MakeFake<TestSink>();
        ComPtr<IConnectionPoint> point;
        EXPECT_EQ(S_OK, Browser().FindConnectionPoint(DIID_DWebBrowserEvents2, point.GetAddressOf()));
        DWORD given = 0;
        EXPECT_EQ(S_OK, point->Advise(sink.Get(), &given));
        if (cookie)
            *cookie = given;
        return sink;
    }

    DWORD bandCookie = 0;
    DWORD helperCookie = 0;
    std::unique_ptr<TestBrowserHost> host;
};

TEST_F(HostTest, SiteAnswersItsInterfacesWithOneIdentityAndTheBandArea)
{
    FakeSite& site = host->Site();
    IUnknown* identity = Identity(static_cast<IOleWindow*>(&site));
    for (const IID& iid : {IID_IOleWindow, IID_IInputObjectSite, IID_IServiceProvider})
    {
        ComPtr<IUnknown> part;
        ASSERT_EQ(S_OK, site.QueryInterface(iid, reinterpret_cast<void**>(part.GetAddressOf())));
        EXPECT_EQ(identity, Identity(part.Get()));
    }
    ComPtr<IUnknown> none;
    EXPECT_EQ(E_NOINTERFACE, site.QueryInterface(IID_IDispatch, reinterpret_cast<void**>(none.GetAddressOf())));
    EXPECT_EQ(nullptr, none.Get());

    HWND window = nullptr;
    ASSERT_EQ(S_OK, site.GetWindow(&window));
    EXPECT_EQ(host->BandArea(), window);
    site.nullWindow = true;
    EXPECT_EQ(S_OK, site.GetWindow(&window));
    EXPECT_EQ(nullptr, window);

    site.refusedInterfaces = {IID_IInputObjectSite};
    EXPECT_EQ(E_NOINTERFACE, site.QueryInterface(IID_IInputObjectSite, reinterpret_cast<void**>(none.GetAddressOf())));
}

TEST_F(HostTest, WebBrowserServiceIsTheBrowserOnSiteAndBrowser)
{
    struct Case
    {
        const char* name;
        GUID service;
        IID iid;
        HRESULT expected;
    };
    const Case cases[] = {
        {"web browser app, IWebBrowser2", SID_SWebBrowserApp, IID_IWebBrowser2, S_OK},
        {"web browser app, IConnectionPointContainer", SID_SWebBrowserApp, IID_IConnectionPointContainer, S_OK},
        {"web browser app, an interface it lacks", SID_SWebBrowserApp, IID_IHTMLDocument2, E_NOINTERFACE},
        {"unknown service", IID_IHTMLDocument2, IID_IWebBrowser2, E_NOINTERFACE},
    };
    IUnknown* browserIdentity = Identity(static_cast<IWebBrowser2*>(&Browser()));
    IServiceProvider* providers[] = {static_cast<IServiceProvider*>(&host->Site()),
                                     static_cast<IServiceProvider*>(&Browser())};
    for (IServiceProvider* provider : providers)
    {
        for (const Case& one : cases)
        {
            SCOPED_TRACE(one.name);
            ComPtr<IUnknown> service;
            EXPECT_EQ(one.expected,
                      provider->QueryService(one.service, one.iid, reinterpret_cast<void**>(service.GetAddressOf())));
            EXPECT_EQ(one.expected == S_OK, service != nullptr);
            if (service)
            {
                EXPECT_EQ(browserIdentity, Identity(service.Get()));
            }
        }
    }
    host->Site().queryServiceResult = E_FAIL;
    ComPtr<IUnknown> service;
    EXPECT_EQ(E_FAIL, host->Site().QueryService(SID_SWebBrowserApp, IID_IWebBrowser2,
                                                reinterpret_cast<void**>(service.GetAddressOf())));
}

TEST_F(HostTest, ConnectionPointAdvisesSeveralSinksAndUnadvisesByCookie)
{
    DWORD first = 0;
    DWORD second = 0;
    ComPtr<TestSink> one = Advise(&first);
    ComPtr<TestSink> two = Advise(&second);
    EXPECT_NE(0u, first);
    EXPECT_NE(first, second);

    Browser().FireDocumentComplete(L"http://a.example/");
    EXPECT_EQ(1u, one->records.size());
    EXPECT_EQ(1u, two->records.size());

    FakeConnectionPoint& point = *Browser().ConnectionPoint();
    EXPECT_EQ(S_OK, point.Unadvise(first));
    EXPECT_EQ(CONNECT_E_NOCONNECTION, point.Unadvise(first));
    Browser().FireDocumentComplete(L"http://b.example/");
    EXPECT_EQ(1u, one->records.size());
    EXPECT_EQ(2u, two->records.size());
    EXPECT_EQ(4u, point.Calls().size());

    IID iid = {};
    EXPECT_EQ(S_OK, point.GetConnectionInterface(&iid));
    EXPECT_TRUE(IsEqualIID(DIID_DWebBrowserEvents2, iid));
    ComPtr<IConnectionPointContainer> container;
    EXPECT_EQ(S_OK, point.GetConnectionPointContainer(container.GetAddressOf()));
    EXPECT_EQ(Identity(static_cast<IWebBrowser2*>(&Browser())), Identity(container.Get()));
}

TEST_F(HostTest, ConnectionSwitchesMakeTheErrorPaths)
{
    ComPtr<IConnectionPoint> point;
    EXPECT_EQ(CONNECT_E_NOCONNECTION, Browser().FindConnectionPoint(IID_IDispatch, point.GetAddressOf()));
    Browser().findConnectionPointResult = E_UNEXPECTED;
    EXPECT_EQ(E_UNEXPECTED, Browser().FindConnectionPoint(DIID_DWebBrowserEvents2, point.GetAddressOf()));
    EXPECT_EQ(nullptr, point.Get());
    Browser().findConnectionPointResult = S_OK;

    FakeConnectionPoint& fake = *Browser().ConnectionPoint();
    ComPtr<TestSink> sink = MakeFake<TestSink>();
    DWORD cookie = 7;
    fake.adviseResult = CONNECT_E_CANNOTCONNECT;
    EXPECT_EQ(CONNECT_E_CANNOTCONNECT, fake.Advise(sink.Get(), &cookie));
    EXPECT_EQ(0u, cookie);
    EXPECT_EQ(0u, fake.SinkCount());

    // A sink without IDispatch cannot be called.
    fake.adviseResult = S_OK;
    EXPECT_EQ(CONNECT_E_CANNOTCONNECT, fake.Advise(static_cast<IOleWindow*>(&host->Site()), &cookie));
    EXPECT_EQ(0u, fake.SinkCount());

    Browser().refusedInterfaces = {IID_IConnectionPointContainer};
    ComPtr<IConnectionPointContainer> container;
    EXPECT_EQ(E_NOINTERFACE, Browser().QueryInterface(IID_IConnectionPointContainer,
                                                      reinterpret_cast<void**>(container.GetAddressOf())));
}

TEST_F(HostTest, BeforeNavigate2HasTheBrowsersArgumentLayout)
{
    ComPtr<TestSink> sink = Advise();
    bool cancel = true;
    const std::vector<HRESULT> answers = Browser().FireBeforeNavigate2(L"http://shop.example/a?b=1", &cancel);
    EXPECT_EQ(std::vector<HRESULT>{S_OK}, answers);
    EXPECT_FALSE(cancel);

    ASSERT_EQ(1u, sink->records.size());
    const InvokeRecord& record = sink->records[0];
    EXPECT_EQ(DISPID_BEFORENAVIGATE2, record.id);
    EXPECT_EQ(250, record.id);
    EXPECT_EQ(DISPATCH_METHOD, record.flags);
    EXPECT_EQ(0u, record.namedCount);
    ASSERT_EQ(7u, record.arguments.size());
    // rgvarg[6] pDisp ... rgvarg[0] Cancel.
    EXPECT_EQ(VT_DISPATCH, record.arguments[6].type);
    EXPECT_EQ(Identity(static_cast<IWebBrowser2*>(&Browser())), Identity(record.arguments[6].dispatch));
    const VARTYPE byRefVariant = VT_BYREF | VT_VARIANT;
    for (int index = 1; index <= 5; ++index)
        EXPECT_EQ(byRefVariant, record.arguments[static_cast<std::size_t>(index)].type) << index;
    EXPECT_EQ(VT_BSTR, record.arguments[5].innerType);
    EXPECT_EQ(L"http://shop.example/a?b=1", record.arguments[5].text);
    EXPECT_EQ(L"http://shop.example/a?b=1", record.urlConverted);
    EXPECT_EQ(VT_I4, record.arguments[4].innerType);
    EXPECT_EQ(VT_BSTR, record.arguments[3].innerType);
    EXPECT_EQ(VT_EMPTY, record.arguments[2].innerType);
    EXPECT_EQ(VT_BSTR, record.arguments[1].innerType);
    const VARTYPE byRefBool = VT_BYREF | VT_BOOL;
    EXPECT_EQ(byRefBool, record.arguments[0].type);
    EXPECT_EQ(L"false", record.arguments[0].text);
}

TEST_F(HostTest, DocumentCompleteAndOnQuitHaveTheBrowsersArgumentLayout)
{
    ComPtr<TestSink> sink = Advise();
    ComPtr<FakeDocument> frameDocument = FakeDocument::Create(L"<p>frame</p>");
    ComPtr<FakeWebBrowser> frame = Browser().CreateFrameBrowser(L"http://frame.example/", frameDocument.Get());
    Browser().FireDocumentComplete(L"http://top.example/");
    Browser().FireDocumentComplete(L"http://frame.example/", static_cast<IWebBrowser2*>(frame.Get()));
    Browser().FireOnQuit();

    ASSERT_EQ(3u, sink->records.size());
    for (std::size_t index = 0; index < 2; ++index)
    {
        SCOPED_TRACE(index);
        const InvokeRecord& record = sink->records[index];
        EXPECT_EQ(259, record.id);
        ASSERT_EQ(2u, record.arguments.size());
        EXPECT_EQ(VT_DISPATCH, record.arguments[1].type);
        const VARTYPE byRefVariant = VT_BYREF | VT_VARIANT;
        EXPECT_EQ(byRefVariant, record.arguments[0].type);
        EXPECT_EQ(VT_BSTR, record.arguments[0].innerType);
    }
    EXPECT_EQ(L"http://top.example/", sink->records[0].urlConverted);
    EXPECT_EQ(Identity(static_cast<IWebBrowser2*>(&Browser())), Identity(sink->records[0].arguments[1].dispatch));
    EXPECT_EQ(Identity(static_cast<IWebBrowser2*>(frame.Get())), Identity(sink->records[1].arguments[1].dispatch));
    EXPECT_EQ(253, sink->records[2].id);
    EXPECT_TRUE(sink->records[2].arguments.empty());

    // The frame's browser answers its own location and document.
    BSTR location = nullptr;
    ASSERT_EQ(S_OK, frame->get_LocationURL(&location));
    EXPECT_EQ(L"http://frame.example/", BstrText(location));
    SysFreeString(location);
    EXPECT_EQ(frameDocument.Get(), frame->Document());
}

TEST_F(HostTest, VisitLoadsAPageUnlessASinkCancels)
{
    ComPtr<TestSink> sink = Advise();
    ComPtr<FakeDocument> page = Browser().Visit(L"http://shop.example/", L"<p>hello</p>");
    ASSERT_NE(nullptr, page.Get());
    ASSERT_EQ(2u, sink->records.size());
    EXPECT_EQ(250, sink->records[0].id);
    EXPECT_EQ(259, sink->records[1].id);

    // The reads the add-on makes: location, document as IHTMLDocument2, body, inner HTML.
    BSTR location = nullptr;
    ASSERT_EQ(S_OK, Browser().get_LocationURL(&location));
    EXPECT_EQ(L"http://shop.example/", BstrText(location));
    SysFreeString(location);
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, Browser().get_Document(dispatch.GetAddressOf()));
    ComPtr<IHTMLDocument2> document;
    ASSERT_EQ(S_OK, dispatch->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(document.GetAddressOf())));
    ComPtr<IHTMLElement> body;
    ASSERT_EQ(S_OK, document->get_body(body.GetAddressOf()));
    BSTR html = nullptr;
    ASSERT_EQ(S_OK, body->get_innerHTML(&html));
    EXPECT_EQ(L"<p>hello</p>", BstrText(html));
    SysFreeString(html);

    sink->cancelNavigation = true;
    EXPECT_EQ(nullptr, Browser().Visit(L"http://other.example/", L"<p>other</p>").Get());
    EXPECT_EQ(L"http://shop.example/", Browser().Location());
    EXPECT_EQ(page.Get(), Browser().Document());
    EXPECT_EQ(3u, sink->records.size()) << "no DocumentComplete after a cancelled navigation";
}

TEST(FakeElementTest, InsertAdjacentHtmlPlacesTextLikeTheBrowser)
{
    struct Case
    {
        const wchar_t* where;
        HRESULT result;
        const wchar_t* inner;
        const wchar_t* before;
        const wchar_t* after;
    };
    const Case cases[] = {
        {L"afterBegin", S_OK, L"<i>x</i><p>body</p>", L"", L""},
        {L"AFTERBEGIN", S_OK, L"<i>x</i><p>body</p>", L"", L""},
        {L"beforeEnd", S_OK, L"<p>body</p><i>x</i>", L"", L""},
        {L"beforebegin", S_OK, L"<p>body</p>", L"<i>x</i>", L""},
        {L"afterEnd", S_OK, L"<p>body</p>", L"", L"<i>x</i>"},
        {L"inside", E_INVALIDARG, L"<p>body</p>", L"", L""},
        {L"", E_INVALIDARG, L"<p>body</p>", L"", L""},
    };
    for (const Case& one : cases)
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(one.where)));
        ComPtr<FakeElement> element = FakeElement::Create(L"<p>body</p>");
        BSTR where = SysAllocString(one.where);
        BSTR html = SysAllocString(L"<i>x</i>");
        EXPECT_EQ(one.result, element->insertAdjacentHTML(where, html));
        SysFreeString(where);
        SysFreeString(html);
        EXPECT_EQ(one.inner, element->InnerHtml());
        EXPECT_EQ(one.before, element->BeforeHtml());
        EXPECT_EQ(one.after, element->AfterHtml());
    }
}

TEST(FakeDocumentTest, BodyAndWindowCanBeMissingOrFail)
{
    ComPtr<FakeDocument> document = FakeDocument::Create(L"<p>x</p>");
    ComPtr<IHTMLElement> body;
    ComPtr<IHTMLWindow2> window;
    document->SetBody(nullptr);
    EXPECT_EQ(S_OK, document->get_body(body.GetAddressOf()));
    EXPECT_EQ(nullptr, body.Get());
    document->bodyResult = E_FAIL;
    EXPECT_EQ(E_FAIL, document->get_body(body.GetAddressOf()));
    document->SetWindow(nullptr);
    EXPECT_EQ(S_OK, document->get_parentWindow(window.GetAddressOf()));
    EXPECT_EQ(nullptr, window.Get());
    EXPECT_EQ(L"", document->BodyHtml());
    EXPECT_TRUE(document->Scripts().empty());
}

TEST(FakeDocumentTest, ScriptsAreRecordedAndWrittenIntoTheCapturedPage)
{
    ComPtr<FakeDocument> document = FakeDocument::Create(L"<div id=\"popupdiv\">offer</div><p>shop</p>");
    ComPtr<IHTMLWindow2> window;
    ASSERT_EQ(S_OK, document->get_parentWindow(window.GetAddressOf()));
    const std::pair<const wchar_t*, const wchar_t*> runs[] = {
        {L"var Popup = {};Popup.show('popupdiv')", L"JavaScript"},
        {L"document.write('</SCRIPT>')", L"JavaScript"},
    };
    for (const auto& run : runs)
    {
        BSTR code = SysAllocString(run.first);
        BSTR language = SysAllocString(run.second);
        VARIANT result;
        result.vt = VT_I4;
        EXPECT_EQ(S_OK, window->execScript(code, language, &result));
        EXPECT_EQ(VT_EMPTY, result.vt);
        SysFreeString(code);
        SysFreeString(language);
    }
    ASSERT_EQ(2u, document->Scripts().size());
    EXPECT_EQ(L"var Popup = {};Popup.show('popupdiv')", document->Scripts()[0].code);
    EXPECT_EQ(L"JavaScript", document->Scripts()[0].language);

    const std::wstring page = document->CapturedPage();
    EXPECT_EQ(0u, page.find(L"<!DOCTYPE html>"));
    const std::size_t body = page.find(L"<body><div id=\"popupdiv\">offer</div><p>shop</p>");
    const std::size_t first = page.find(L"<script>var Popup = {};Popup.show('popupdiv')</script>");
    const std::size_t second = page.find(L"<script>document.write('<\\/SCRIPT>')</script>");
    EXPECT_NE(std::wstring::npos, body);
    EXPECT_LT(body, first);
    EXPECT_LT(first, second);
    EXPECT_NE(std::wstring::npos, page.find(L"</body></html>"));

    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring path = std::wstring(folder) + L"qb_captured_page.html";
    ASSERT_TRUE(document->WriteCapturedPage(path));
    std::ifstream file(path.c_str(), std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    EXPECT_NE(std::string::npos, bytes.str().find("<script>var Popup = {};Popup.show('popupdiv')</script>"));
    file.close();
    DeleteFileW(path.c_str());
}

TEST_F(HostTest, ShowBrowserBarCreatesSitesAndLaysOutTheBandOnce)
{
    ASSERT_EQ(S_OK, host->ShowBand(kTestBandClsid));
    ASSERT_NE(nullptr, TestBand::last);
    EXPECT_EQ((std::vector<std::wstring>{L"SetSite(site)", L"GetBandInfo", L"ShowDW(1)"}), TestBand::record.calls);
    EXPECT_EQ(Identity(static_cast<IWebBrowser2*>(&Browser())), Identity(TestBand::record.browserSeen.Get()));

    HWND window = TestBand::last->Window();
    EXPECT_EQ(window, Browser().BandWindow());
    EXPECT_EQ(host->BandArea(), GetParent(window));
    RECT area = {};
    RECT band = {};
    GetClientRect(host->BandArea(), &area);
    GetWindowRect(window, &band);
    EXPECT_EQ(area.right, band.right - band.left);
    EXPECT_EQ(24, band.bottom - band.top) << "the height the band asked for";
    EXPECT_TRUE(IsWindowVisible(window) || !IsWindowVisible(host->FrameWindow()));

    // A second call with the same class keeps the band and only shows or hides it.
    TestBand* first = TestBand::last;
    TestBand::record.calls.clear();
    EXPECT_EQ(S_OK, host->ShowBand(kTestBandClsid, false));
    EXPECT_EQ(first, TestBand::last);
    EXPECT_EQ((std::vector<std::wstring>{L"GetBandInfo", L"ShowDW(0)"}), TestBand::record.calls);
    EXPECT_EQ(1, TestBand::record.alive);
    ASSERT_EQ(2u, Browser().BrowserBarCalls().size());
    EXPECT_FALSE(Browser().BrowserBarCalls()[1].show);
}

TEST_F(HostTest, HelperObjectsAreSitedWithTheBrowserAndQuitTakesGuestsOffTheirSites)
{
    ComPtr<TestSink> sink = Advise();
    ASSERT_EQ(S_OK, Browser().CreateHelperObject(kTestHelperClsid));
    ASSERT_EQ(S_OK, host->ShowBand(kTestBandClsid));
    EXPECT_EQ(1, TestHelper::record.alive);
    EXPECT_EQ(Identity(static_cast<IWebBrowser2*>(&Browser())), Identity(TestHelper::record.browserSeen.Get()));
    EXPECT_EQ(REGDB_E_CLASSNOTREG, Browser().CreateHelperObject(GUID_NULL));
    EXPECT_EQ(1u, Browser().Helpers().size());

    TestBand::record.calls.clear();
    EXPECT_EQ(S_OK, Browser().Quit());
    ASSERT_EQ(1u, sink->records.size());
    EXPECT_EQ(253, sink->records[0].id);
    EXPECT_EQ((std::vector<std::wstring>{L"SetSite(site)", L"SetSite(null)"}), TestHelper::record.calls);
    EXPECT_EQ((std::vector<std::wstring>{L"CloseDW", L"SetSite(null)"}), TestBand::record.calls);
    EXPECT_EQ(0, TestHelper::record.alive);
    EXPECT_EQ(0, TestBand::record.alive);
    EXPECT_TRUE(Browser().HasQuit());

    // The log tells the order: OnQuit first, then the guests leave.
    const std::vector<std::wstring>& log = Browser().Log();
    const auto at = [&](const std::wstring& line) { return std::find(log.begin(), log.end(), line) - log.begin(); };
    EXPECT_LT(at(L"event OnQuit -> 0x00000000"), at(L"helper SetSite(null) -> 0x00000000"));
    EXPECT_LT(at(L"helper SetSite(null) -> 0x00000000"), at(L"band SetSite(null) -> 0x00000000"));

    EXPECT_EQ(S_OK, Browser().Quit());
    EXPECT_EQ(1u, sink->records.size()) << "a second Quit fires nothing";
}

TEST_F(HostTest, NavigationsAreLoggedWithTheirArgumentsAndLoadNothing)
{
    std::vector<std::wstring> loaded;
    BSTR url = SysAllocString(L"http://service.example/offer?id=1&x=2");
    EXPECT_EQ(S_OK, Browser().Navigate(url, nullptr, nullptr, nullptr, nullptr));
    ScopedVariant flags;
    flags.Get()->vt = VT_I4;
    flags.Get()->lVal = navOpenInNewWindow;
    ScopedVariant target(std::wstring(L"_blank"));
    ScopedVariant empty;
    Browser().onNavigate = [&](const std::wstring& address) { loaded.push_back(address); };
    EXPECT_EQ(S_OK, Browser().Navigate(url, flags.Get(), target.Get(), empty.Get(), nullptr));
    ScopedVariant urlVariant(std::wstring(L"http://two.example/"));
    EXPECT_EQ(S_OK, Browser().Navigate2(urlVariant.Get(), nullptr, nullptr, nullptr, nullptr));
    Browser().navigateResult = E_ACCESSDENIED;
    EXPECT_EQ(E_ACCESSDENIED, Browser().Navigate(url, nullptr, nullptr, nullptr, nullptr));
    SysFreeString(url);

    const std::vector<NavigateCall>& calls = Browser().Navigations();
    ASSERT_EQ(4u, calls.size());
    EXPECT_EQ(L"http://service.example/offer?id=1&x=2", calls[0].url);
    EXPECT_FALSE(calls[0].flags || calls[0].targetFrame || calls[0].postData || calls[0].headers);
    EXPECT_EQ(std::optional<VARTYPE>(VT_I4), calls[1].flags);
    EXPECT_EQ(std::optional<VARTYPE>(VT_BSTR), calls[1].targetFrame);
    EXPECT_EQ(std::optional<VARTYPE>(VT_EMPTY), calls[1].postData);
    EXPECT_FALSE(calls[1].headers);
    EXPECT_TRUE(calls[2].viaNavigate2);
    EXPECT_EQ(L"http://two.example/", calls[2].url);
    EXPECT_EQ((std::vector<std::wstring>{L"http://service.example/offer?id=1&x=2", L"http://two.example/"}), loaded);
    EXPECT_EQ(L"", Browser().Location()) << "navigating loads nothing by itself";
}

} // namespace
