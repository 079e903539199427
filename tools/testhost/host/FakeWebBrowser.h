// The tab's web browser in the test host, playing what the browser does for its bands and helper objects:
// the IWebBrowser2 they navigate and read, the web browser service, the DWebBrowserEvents2 connection point
// and the events fired on it (with the arguments laid out as the browser lays them out), ShowBrowserBar
// creating and siting a band, helper objects created and sited, and Quit tearing them down.
// Everything runs on the thread that created the browser (a single-threaded apartment).
#pragma once

#include <servprov.h>
#include <shlobj.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/ComSupport.h"
#include "host/FakeConnectionPoint.h"
#include "host/FakeDocument.h"
#include "host/FakeSite.h"
#include "host/WebBrowser2Stubs.h"

namespace testhost
{

// The windows of the host that the browser works with.
struct BrowserWindows
{
    HWND frame = nullptr;    // what get_HWND answers
    HWND bandArea = nullptr; // the site's window: bands are parented and laid out here
    HWND content = nullptr;  // repainted when the location changes; may be null
};

struct NavigateCall
{
    std::wstring url;
    // The VARIANT type of each optional argument, or nothing when its pointer was null.
    std::optional<VARTYPE> flags;
    std::optional<VARTYPE> targetFrame;
    std::optional<VARTYPE> postData;
    std::optional<VARTYPE> headers;
    bool viaNavigate2 = false;
};

struct ShowBrowserBarCall
{
    std::wstring clsidText; // the text passed (empty when it was not a VT_BSTR)
    bool show;
    HRESULT result;
};

struct KeyRoute
{
    UINT message;
    WPARAM key;
    HRESULT result; // of the band's IInputObject::TranslateAcceleratorIO
};

class FakeWebBrowser final : public WebBrowser2Stubs, public IServiceProvider, public IConnectionPointContainer
{
public:
    static ComPtr<FakeWebBrowser> Create(const BrowserWindows& windows);

    // What the guests read.
    const std::wstring& Location() const { return location; }
    void SetLocation(const std::wstring& url);
    FakeDocument* Document() const { return document.Get(); }
    void SetDocument(FakeDocument* current) { document = current; }
    // What get_HWND answers (by default the host's frame window).
    void SetFrameWindow(HWND window) { windows.frame = window; }
    FakeSite* Site() const { return site.Get(); }
    FakeConnectionPoint* ConnectionPoint() const { return connectionPoint.Get(); }

    // Records.
    const std::vector<NavigateCall>& Navigations() const { return navigations; }
    const std::vector<ShowBrowserBarCall>& BrowserBarCalls() const { return browserBarCalls; }
    const std::vector<KeyRoute>& KeyRoutes() const { return keyRoutes; }
    // One line for every call the browser made on its guests and every event it fired, in order, e.g.
    // "CoCreateInstance {4C8E1F27-...} -> 0x00000000", "band SetSite(site) -> 0x00000000",
    // "event DocumentComplete http://shop.example/ -> 0x00000000".
    const std::vector<std::wstring>& Log() const { return log; }

    // Switches.
    HRESULT navigateResult = S_OK; // answer of Navigate/Navigate2 (the call is recorded either way)
    // Called after a successful Navigate/Navigate2 with the URL; nothing is loaded otherwise.
    std::function<void(const std::wstring& url)> onNavigate;
    HRESULT showBrowserBarResult = S_OK;      // a failure is returned before anything is done
    HRESULT findConnectionPointResult = S_OK; // a failure is returned for every interface
    HRESULT queryServiceResult = S_OK;        // answer of the browser's own QueryService when failing
    HRESULT documentResult = S_OK;            // answer of get_Document when failing
    RefusedInterfaces refusedInterfaces;

    // Events, delivered through IDispatch::Invoke to every advised sink in advise order; the answers are
    // returned in that order.
    // BeforeNavigate2 (250): 7 arguments; cancel receives what the sinks left in the Cancel argument.
    std::vector<HRESULT> FireBeforeNavigate2(const std::wstring& url, bool* cancel = nullptr);
    // DocumentComplete (259): rgvarg[1] the browser object (this one when frameBrowser is null), rgvarg[0]
    // the URL by reference.
    std::vector<HRESULT> FireDocumentComplete(const std::wstring& url, IDispatch* frameBrowser = nullptr);
    // OnQuit (253): no arguments.
    std::vector<HRESULT> FireOnQuit();
    // A page load: BeforeNavigate2; unless cancelled, the location becomes url and a new document with the
    // body is current, then DocumentComplete. Returns the new document (null when cancelled).
    ComPtr<FakeDocument> Visit(const std::wstring& url, const std::wstring& bodyHtml);
    // A frame's own browser object, at its own location, for DocumentComplete of a frame document.
    ComPtr<FakeWebBrowser> CreateFrameBrowser(const std::wstring& frameLocation, FakeDocument* frameDocument);

    // Guests.
    // Creates a helper object (CoCreateInstance, in-process) and sites it with this browser, as the browser
    // does for each of its helper objects; it is kept until Quit. Returns the first failure or SetSite's
    // answer.
    HRESULT CreateHelperObject(REFCLSID clsid);
    const std::vector<ComPtr<IObjectWithSite>>& Helpers() const { return helpers; }
    // The band created by ShowBrowserBar (null before), its window and what its GetBandInfo last gave.
    IUnknown* Band() const { return band.Get(); }
    HWND BandWindow() const { return bandWindow; }
    const DESKBANDINFO& BandInfo() const { return bandInfo; }
    // Offers a key message aimed at the band's window (or a window inside it) to the band's
    // TranslateAcceleratorIO; true when it was handled there. Tab and F6 refused by the band move the focus
    // to the content window, as the browser moves it on.
    bool RouteKeyMessage(MSG& message);
    // Lays the band's window out in the band area again (after the area changed size).
    void LayoutBand();
    bool HasQuit() const { return quit; }

    // The web browser service, shared with the site: SID_SWebBrowserApp gives this browser.
    HRESULT QueryBrowserService(REFGUID service, REFIID iid, void** object);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++refCount; }
    STDMETHODIMP_(ULONG) Release() override;

    // IWebBrowser
    STDMETHODIMP Navigate(BSTR url, VARIANT* flags, VARIANT* targetFrame, VARIANT* postData, VARIANT* headers) override;
    STDMETHODIMP get_Document(IDispatch** result) override;
    STDMETHODIMP get_TopLevelContainer(VARIANT_BOOL* result) override;
    STDMETHODIMP get_LocationName(BSTR* result) override;
    STDMETHODIMP get_LocationURL(BSTR* result) override;
    STDMETHODIMP get_Busy(VARIANT_BOOL* result) override;

    // IWebBrowserApp
    // Fires OnQuit, then takes the helper objects and the band off their site (the band closed first)
    // and releases them. Later calls do nothing.
    STDMETHODIMP Quit() override;
    STDMETHODIMP get_HWND(SHANDLE_PTR* result) override;
    STDMETHODIMP get_Visible(VARIANT_BOOL* result) override;

    // IWebBrowser2
    STDMETHODIMP Navigate2(VARIANT* url, VARIANT* flags, VARIANT* targetFrame, VARIANT* postData,
                           VARIANT* headers) override;
    // The CLSID text (VT_BSTR) of a band: created once through CoCreateInstance and kept, sited with the
    // site, asked for its band info, laid out in the band area and shown or hidden (show: VT_BOOL, absent
    // means show).
    STDMETHODIMP ShowBrowserBar(VARIANT* clsidText, VARIANT* show, VARIANT* size) override;
    STDMETHODIMP get_ReadyState(READYSTATE* result) override;

    // IServiceProvider
    STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** object) override;

    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** /*points*/) override { return E_NOTIMPL; }
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

private:
    template <typename T, typename... Args> friend ComPtr<T> MakeFake(Args&&... args);
    explicit FakeWebBrowser(const BrowserWindows& hostWindows);
    ~FakeWebBrowser();

    HRESULT CreateBand(REFCLSID clsid);
    void ReleaseBand();
    std::vector<HRESULT> FireEvent(DISPID id, DISPPARAMS& parameters, const std::wstring& description);
    void Note(const std::wstring& line) { log.push_back(line); }

    ULONG refCount = 1;
    BrowserWindows windows;
    bool topLevel = true;
    ComPtr<FakeSite> site;
    ComPtr<FakeConnectionPoint> connectionPoint;
    std::wstring location;
    ComPtr<FakeDocument> document;
    std::vector<NavigateCall> navigations;
    std::vector<ShowBrowserBarCall> browserBarCalls;
    std::vector<KeyRoute> keyRoutes;
    std::vector<std::wstring> log;
    CLSID bandClsid = GUID_NULL;
    ComPtr<IUnknown> band;
    HWND bandWindow = nullptr;
    DESKBANDINFO bandInfo = {};
    std::vector<ComPtr<IObjectWithSite>> helpers;
    bool quit = false;
};

} // namespace testhost
