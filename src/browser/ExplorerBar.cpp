#include "browser/ExplorerBar.h"

#include <algorithm>

#include "core/ErrorReport.h"

ExplorerBar::~ExplorerBar() = default;

STDMETHODIMP ExplorerBar::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_INVALIDARG;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IOleWindow || riid == IID_IDockingWindow || riid == IID_IDeskBand)
        *ppv = static_cast<IDeskBand*>(this);
    else if (riid == IID_IInputObject)
        *ppv = static_cast<IInputObject*>(this);
    else if (riid == IID_IObjectWithSite)
        *ppv = static_cast<IObjectWithSite*>(this);
    else if (riid == IID_IPersistStream)
        *ppv = static_cast<IPersistStream*>(this);
    else
        return E_NOINTERFACE; // IPersist included: the band answers only the stream form
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) ExplorerBar::AddRef()
{
    return ++refCount;
}

STDMETHODIMP_(ULONG) ExplorerBar::Release()
{
    const ULONG count = --refCount;
    if (count == 0)
        delete this;
    return count;
}

HWND ExplorerBar::BandWindow()
{
    return GetBandWindow();
}

STDMETHODIMP ExplorerBar::GetWindow(HWND* window)
{
    if (!window)
        return E_INVALIDARG;
    *window = GetBandWindow();
    return S_OK;
}

STDMETHODIMP ExplorerBar::ContextSensitiveHelp(BOOL)
{
    return E_NOTIMPL;
}

STDMETHODIMP ExplorerBar::ShowDW(BOOL show)
{
    if (const HWND window = GetBandWindow())
    {
        ShowWindow(window, show ? SW_SHOW : SW_HIDE);
        EnableWindow(window, show != FALSE);
    }
    return S_OK;
}

STDMETHODIMP ExplorerBar::CloseDW(DWORD)
{
    ShowDW(FALSE);
    return S_OK;
}

STDMETHODIMP ExplorerBar::ResizeBorderDW(LPCRECT, IUnknown*, BOOL)
{
    return E_NOTIMPL;
}

STDMETHODIMP ExplorerBar::GetBandInfo(DWORD, DWORD, DESKBANDINFO* info)
try
{
    if (!info)
        return E_INVALIDARG;
    if (info->dwMask & DBIM_MINSIZE)
        info->ptMinSize = GetMinSize();
    if (info->dwMask & DBIM_MAXSIZE)
        info->ptMaxSize = GetMaxSize();
    if (info->dwMask & DBIM_INTEGRAL)
        info->ptIntegral = {1, 1};
    if (info->dwMask & DBIM_ACTUAL)
        info->ptActual = GetActualSize();
    if (info->dwMask & DBIM_TITLE)
    {
        const std::wstring title = GetTitle();
        const size_t length = std::min<size_t>(title.size(), 255);
        title.copy(info->wszTitle, length);
        info->wszTitle[length] = L'\0';
    }
    if (info->dwMask & DBIM_MODEFLAGS)
        info->dwModeFlags = DBIMF_USECHEVRON | DBIMF_BREAK;
    if (info->dwMask & DBIM_BKCOLOR)
        info->dwMask &= ~static_cast<DWORD>(DBIM_BKCOLOR); // the host's default background
    return S_OK;
}
catch (const wexception<std::runtime_error>& error)
{
    ShowError(error);
    return E_FAIL;
}
catch (...)
{
    return UnexpectedFailure();
}

STDMETHODIMP ExplorerBar::UIActivateIO(BOOL activate, MSG*)
{
    if (activate)
        if (const HWND window = GetBandWindow())
            SetFocus(window);
    return S_OK;
}

STDMETHODIMP ExplorerBar::HasFocusIO()
{
    return S_FALSE;
}

STDMETHODIMP ExplorerBar::TranslateAcceleratorIO(MSG* message)
{
    if (!message)
        return E_INVALIDARG;
    if ((message->message == WM_KEYDOWN || message->message == WM_KEYUP) &&
        (message->wParam == VK_TAB || message->wParam == VK_F6))
        return S_FALSE; // the browser moves the focus
    TranslateMessage(message);
    DispatchMessageW(message);
    return S_OK;
}

STDMETHODIMP ExplorerBar::SetSite(IUnknown* site)
try
{
    DisconnectSite();
    if (!site)
        return S_OK;
    return ConnectSite(site);
}
catch (const wexception<std::runtime_error>& error)
{
    ShowError(error);
    return E_FAIL;
}
catch (...)
{
    return UnexpectedFailure();
}

HRESULT ExplorerBar::ConnectSite(IUnknown* site)
{
    const ComPtr<IUnknown> holdSite(site);

    ComPtr<IOleWindow> oleWindow;
    QueryInterfaceOrThrow(site, oleWindow);
    HRESULT hr = oleWindow->GetWindow(&parentWindow);
    if (FAILED(hr))
        throw AtLocation(MakeComError(hr, oleWindow), kSiteWindowFailed);
    if (!parentWindow)
        return E_FAIL;

    ComPtr<IServiceProvider> services;
    QueryInterfaceOrThrow(site, services);
    webBrowser.Reset();
    hr = services->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, webBrowser.ReceiveVoid());
    if (FAILED(hr))
        throw AtLocation(MakeComError(hr, services), kSiteBrowserFailed);

    ConnectBrowserEvents();
    CreateBandWindow();
    QueryInterfaceOrThrow(site, inputObjectSite);
    return S_OK;
}

STDMETHODIMP ExplorerBar::GetSite(REFIID riid, void** site)
{
    if (!site)
        return E_INVALIDARG;
    *site = nullptr;
    if (!inputObjectSite)
        return E_FAIL;
    return inputObjectSite->QueryInterface(riid, site);
}

void ExplorerBar::DisconnectSite()
{
    inputObjectSite.Reset();
    webBrowser.Reset();
    parentWindow = nullptr;
}

STDMETHODIMP ExplorerBar::IsDirty()
{
    return S_FALSE;
}

STDMETHODIMP ExplorerBar::Load(IStream*)
{
    return S_OK; // the band keeps no state
}

STDMETHODIMP ExplorerBar::Save(IStream*, BOOL)
{
    return S_OK;
}

STDMETHODIMP ExplorerBar::GetSizeMax(ULARGE_INTEGER*)
{
    return E_NOTIMPL;
}
