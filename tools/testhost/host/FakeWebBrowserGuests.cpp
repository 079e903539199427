// The browser's guests: the band that ShowBrowserBar creates and lays out, the helper objects, the key
// messages offered to the band, and Quit taking them all off their sites.
#include "host/FakeWebBrowser.h"

namespace testhost
{
namespace
{

// ShowBrowserBar's show argument: absent means show.
bool ShowRequested(const VARIANT* show)
{
    if (!show || show->vt == VT_EMPTY || show->vt == VT_ERROR)
        return true;
    VARIANT converted;
    VariantInit(&converted);
    if (FAILED(VariantChangeType(&converted, const_cast<VARIANT*>(show), 0, VT_BOOL)))
        return true;
    return converted.boolVal != VARIANT_FALSE;
}

} // namespace

STDMETHODIMP FakeWebBrowser::ShowBrowserBar(VARIANT* clsidText, VARIANT* show, VARIANT* /*size*/)
{
    const std::wstring text = clsidText && clsidText->vt == VT_BSTR ? BstrText(clsidText->bstrVal) : std::wstring();
    const bool visible = ShowRequested(show);
    HRESULT result = showBrowserBarResult;
    CLSID clsid = GUID_NULL;
    if (SUCCEEDED(result) && (text.empty() || FAILED(CLSIDFromString(text.c_str(), &clsid))))
        result = E_INVALIDARG;
    if (SUCCEEDED(result) && band && !IsEqualCLSID(clsid, bandClsid))
        ReleaseBand(); // one band at a time
    if (SUCCEEDED(result) && !band)
        result = CreateBand(clsid);
    if (SUCCEEDED(result))
    {
        ComPtr<IDeskBand> deskBand;
        if (SUCCEEDED(band.As(&deskBand)))
        {
            bandInfo = DESKBANDINFO{};
            bandInfo.dwMask =
                DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL | DBIM_TITLE | DBIM_MODEFLAGS | DBIM_BKCOLOR;
            Note(L"band GetBandInfo -> " + HresultText(deskBand->GetBandInfo(0, DBIF_VIEWMODE_NORMAL, &bandInfo)));
            HWND window = nullptr;
            deskBand->GetWindow(&window);
            bandWindow = window;
            LayoutBand();
            Note(L"band ShowDW(" + std::to_wstring(visible ? 1 : 0) + L") -> " +
                 HresultText(deskBand->ShowDW(visible ? TRUE : FALSE)));
        }
    }
    browserBarCalls.push_back({text, visible, result});
    Note(L"ShowBrowserBar " + text + L" show=" + std::to_wstring(visible ? 1 : 0) + L" -> " + HresultText(result));
    return result;
}

HRESULT FakeWebBrowser::CreateBand(REFCLSID clsid)
{
    ComPtr<IUnknown> created;
    HRESULT result = CoCreateInstance(clsid, nullptr /* outer */, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                      reinterpret_cast<void**>(created.GetAddressOf()));
    Note(L"CoCreateInstance " + GuidText(clsid) + L" -> " + HresultText(result));
    if (FAILED(result))
        return result;
    ComPtr<IObjectWithSite> withSite;
    result = created.As(&withSite);
    if (SUCCEEDED(result))
    {
        result = withSite->SetSite(static_cast<IOleWindow*>(site.Get()));
        Note(L"band SetSite(site) -> " + HresultText(result));
    }
    if (FAILED(result))
        return result;
    band = created;
    bandClsid = clsid;
    return S_OK;
}

void FakeWebBrowser::ReleaseBand()
{
    if (!band)
        return;
    ComPtr<IDockingWindow> docking;
    if (SUCCEEDED(band.As(&docking)))
        Note(L"band CloseDW -> " + HresultText(docking->CloseDW(0)));
    ComPtr<IObjectWithSite> withSite;
    if (SUCCEEDED(band.As(&withSite)))
        Note(L"band SetSite(null) -> " + HresultText(withSite->SetSite(nullptr)));
    band.Reset();
    bandWindow = nullptr;
    bandClsid = GUID_NULL;
}

void FakeWebBrowser::LayoutBand()
{
    if (!bandWindow || !IsWindow(bandWindow) || !windows.bandArea)
        return;
    if (GetParent(bandWindow) != windows.bandArea)
        SetParent(bandWindow, windows.bandArea);
    RECT area = {};
    GetClientRect(windows.bandArea, &area);
    // The band gets the whole row; its height is what it asked for, within the area.
    LONG height = bandInfo.ptActual.y > 0 ? bandInfo.ptActual.y : bandInfo.ptMinSize.y;
    if (height <= 0 || height > area.bottom)
        height = area.bottom;
    SetWindowPos(bandWindow, nullptr, 0, 0, area.right, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

HRESULT FakeWebBrowser::CreateHelperObject(REFCLSID clsid)
{
    ComPtr<IObjectWithSite> helper;
    HRESULT result = CoCreateInstance(clsid, nullptr /* outer */, CLSCTX_INPROC_SERVER, IID_IObjectWithSite,
                                      reinterpret_cast<void**>(helper.GetAddressOf()));
    Note(L"CoCreateInstance " + GuidText(clsid) + L" -> " + HresultText(result));
    if (FAILED(result))
        return result;
    helpers.push_back(helper);
    result = helper->SetSite(static_cast<IWebBrowser2*>(this));
    Note(L"helper SetSite(browser) -> " + HresultText(result));
    return result;
}

bool FakeWebBrowser::RouteKeyMessage(MSG& message)
{
    if (message.message < WM_KEYFIRST || message.message > WM_KEYLAST || !band || !bandWindow)
        return false;
    if (message.hwnd != bandWindow && !IsChild(bandWindow, message.hwnd))
        return false;
    ComPtr<IInputObject> input;
    if (FAILED(band.As(&input)))
        return false;
    const HRESULT result = input->TranslateAcceleratorIO(&message);
    keyRoutes.push_back({message.message, message.wParam, result});
    if (result == S_OK)
        return true;
    if (message.message == WM_KEYDOWN && (message.wParam == VK_TAB || message.wParam == VK_F6) && windows.content)
    {
        SetFocus(windows.content);
        return true;
    }
    return false;
}

STDMETHODIMP FakeWebBrowser::Quit()
{
    if (quit)
        return S_OK;
    quit = true;
    FireOnQuit();
    // Taking a guest off its site may release this browser's last outside reference.
    const ComPtr<FakeWebBrowser> keepAlive(this);
    for (const ComPtr<IObjectWithSite>& helper : helpers)
        Note(L"helper SetSite(null) -> " + HresultText(helper->SetSite(nullptr)));
    helpers.clear();
    ReleaseBand();
    return S_OK;
}

} // namespace testhost
