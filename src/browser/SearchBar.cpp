#include "browser/SearchBar.h"

#include <exdispid.h>

#include "core/ErrorReport.h"
#include "module/Guids.h"
#include "module/ProcessObjects.h"
#include "resources/resource.h"
#include "toolbar/SearchToolBar.h"

SearchBar::SearchBar()
{
    accelerators.Reset(LoadAcceleratorsW(ModuleInstance(), MAKEINTRESOURCEW(IDR_ACCELERATORS)));
    if (!accelerators)
        throw AtLocation(LastWindowsError(), kAcceleratorsFailed);
    Process().bandSlot.Set(this);
}

SearchBar::~SearchBar()
{
    // The newest band of a thread owns the slot; clearing it here matches what the browser expects of a
    // band going away on its own thread.
    Process().bandSlot.Clear();
    // A host that never said SetSite(NULL): the toolbar going (the focus leaving it) must not tell the site
    // about a band whose count is zero, and the connection point must not keep calling the freed sink.
    inputObjectSite.Reset();
    try
    {
        DisconnectSite();
    }
    catch (...)
    {
        // Nothing can be reported from here; the references still go with the members.
    }
    toolBar.reset();
}

SearchBar* CurrentThreadBand() noexcept
{
    return Process().bandSlot.Get();
}

STDMETHODIMP SearchBar::GetClassID(CLSID* clsid)
{
    if (!clsid)
        return E_INVALIDARG;
    *clsid = kBandClsid;
    return S_OK;
}

void SearchBar::ConnectBrowserEvents()
{
    const ComPtr<IWebBrowser2> browser = webBrowser;
    ComPtr<IConnectionPointContainer> container;
    QueryInterfaceOrThrow(browser, container);
    ComPtr<IConnectionPoint> point;
    HRESULT hr = container->FindConnectionPoint(DIID_DWebBrowserEvents2, point.Receive());
    if (FAILED(hr))
        throw AtLocation(MakeComError(hr, container), kNoConnectionPoint);
    hr = point->Advise(&eventSink, &adviseCookie);
    if (FAILED(hr))
        throw AtLocation(MakeComError(hr, point), kAdviseFailed);
}

void SearchBar::CreateBandWindow()
{
    if (toolBar)
        return;
    if (!parentWindow)
        throw AtLocation(wexception<std::runtime_error>(LoadResourceString(IDS_NO_PARENT_WINDOW)), kNoParentWindow);
    toolBar = std::make_unique<SearchToolBar>(*this, parentWindow);
}

void SearchBar::DisconnectSite()
{
    // The cookie is kept until the connection point let the sink go, so a later disconnection tries again.
    if (adviseCookie != 0 && webBrowser)
    {
        ComPtr<IConnectionPointContainer> container;
        QueryInterfaceOrThrow(webBrowser, container);
        ComPtr<IConnectionPoint> point;
        if (SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, point.Receive())) && point &&
            SUCCEEDED(point->Unadvise(adviseCookie)))
            adviseCookie = 0;
    }
    toolBar.reset();
    ExplorerBar::DisconnectSite();
}

HWND SearchBar::GetBandWindow()
{
    return toolBar ? toolBar->Window() : nullptr;
}

POINTL SearchBar::GetMinSize()
{
    return {20, toolBar ? toolBar->BandHeight() : 20};
}

POINTL SearchBar::GetMaxSize()
{
    return {-1, toolBar ? toolBar->BandHeight() : 20};
}

POINTL SearchBar::GetActualSize()
{
    if (!toolBar)
        return {-1, 20};
    return {toolBar->IdealWidth(), toolBar->BandHeight()};
}

STDMETHODIMP SearchBar::ShowDW(BOOL show)
{
    ExplorerBar::ShowDW(show);
    if (toolBar)
    {
        EnableWindow(toolBar->SearchBox(), show != FALSE);
        if (show)
            SetFocus(toolBar->SearchBox());
    }
    return S_OK;
}

STDMETHODIMP SearchBar::UIActivateIO(BOOL activate, MSG*)
{
    if (activate && toolBar)
        SetFocus(toolBar->SearchBox());
    return S_OK;
}

STDMETHODIMP SearchBar::HasFocusIO()
{
    if (!toolBar)
        return S_FALSE;
    const HWND focus = GetFocus();
    return focus && (focus == toolBar->Window() || focus == toolBar->SearchBox()) ? S_OK : S_FALSE;
}

STDMETHODIMP SearchBar::TranslateAcceleratorIO(MSG* message)
{
    if (!message)
        return E_INVALIDARG;
    const bool keyDown = message->message == WM_KEYDOWN;
    if (toolBar)
    {
        if (TranslateAcceleratorW(toolBar->Window(), accelerators.Get(), message))
            return S_OK; // Enter became the search command
        if (keyDown && message->wParam == VK_TAB)
        {
            const HWND focus = GetFocus();
            if (GetKeyState(VK_SHIFT) < 0)
            {
                if (focus != toolBar->Window())
                    return S_FALSE;
                SetFocus(toolBar->SearchBox());
                return S_OK;
            }
            if (focus != toolBar->SearchBox())
                return S_FALSE;
            SetFocus(toolBar->Window());
            return S_OK;
        }
        if (keyDown && message->wParam == VK_F6)
            return S_FALSE;
    }
    if ((keyDown || message->message == WM_KEYUP) && (message->wParam == VK_TAB || message->wParam == VK_F6))
        return S_FALSE;
    TranslateMessage(message);
    DispatchMessageW(message);
    return S_OK;
}

std::wstring SearchBar::GetSearchText()
{
    if (!toolBar)
        return {};
    const int length = GetWindowTextLengthW(toolBar->SearchBox());
    if (length <= 0)
        return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(toolBar->SearchBox(), text.data(), length + 1);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return text;
}

void SearchBar::Navigate(const std::wstring& url)
{
    IWebBrowser2* browser = CheckedPointer(webBrowser.Get());
    BSTR address = SysAllocString(url.c_str());
    if (!address)
        throw std::bad_alloc();
    const HRESULT hr = browser->Navigate(address, nullptr, nullptr, nullptr, nullptr);
    SysFreeString(address);
    if (FAILED(hr))
        throw AtLocation(MakeComError(hr, webBrowser), kNavigateFailed);
}
