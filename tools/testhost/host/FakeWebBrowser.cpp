// The test host's web browser: identity, navigation, location, document and the web browser service.
#include "host/FakeWebBrowser.h"

#include <shlguid.h>

namespace testhost
{
namespace
{

std::optional<VARTYPE> ArgumentType(const VARIANT* argument)
{
    if (!argument)
        return std::nullopt;
    return argument->vt;
}

NavigateCall RecordNavigation(const std::wstring& url, VARIANT* flags, VARIANT* targetFrame, VARIANT* postData,
                              VARIANT* headers)
{
    NavigateCall call;
    call.url = url;
    call.flags = ArgumentType(flags);
    call.targetFrame = ArgumentType(targetFrame);
    call.postData = ArgumentType(postData);
    call.headers = ArgumentType(headers);
    return call;
}

} // namespace

ComPtr<FakeWebBrowser> FakeWebBrowser::Create(const BrowserWindows& windows)
{
    return MakeFake<FakeWebBrowser>(windows);
}

FakeWebBrowser::FakeWebBrowser(const BrowserWindows& hostWindows) : windows(hostWindows)
{
    site = MakeFake<FakeSite>(windows.bandArea, this);
    connectionPoint = MakeFake<FakeConnectionPoint>(static_cast<IConnectionPointContainer*>(this));
}

FakeWebBrowser::~FakeWebBrowser()
{
    // The site and the point may outlive the browser in a guest's hands; they must not call back into it.
    site->DetachBrowser();
    connectionPoint->DetachContainer();
}

void FakeWebBrowser::SetLocation(const std::wstring& url)
{
    location = url;
    if (windows.content)
        InvalidateRect(windows.content, nullptr, TRUE);
}

ComPtr<FakeWebBrowser> FakeWebBrowser::CreateFrameBrowser(const std::wstring& frameLocation,
                                                          FakeDocument* frameDocument)
{
    BrowserWindows frameWindows = windows;
    frameWindows.content = nullptr;
    ComPtr<FakeWebBrowser> frame = MakeFake<FakeWebBrowser>(frameWindows);
    frame->topLevel = false;
    frame->location = frameLocation;
    frame->document = frameDocument;
    return frame;
}

HRESULT FakeWebBrowser::QueryBrowserService(REFGUID service, REFIID iid, void** object)
{
    *object = nullptr;
    // SID_SWebBrowserApp is IID_IWebBrowserApp; the browser also answers its newer interface's name.
    if (!IsEqualGUID(service, SID_SWebBrowserApp) && !IsEqualGUID(service, IID_IWebBrowser2))
        return E_NOINTERFACE; // an unknown service, as the browser answers it
    return QueryInterface(iid, object);
}

STDMETHODIMP FakeWebBrowser::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (IsRefused(refusedInterfaces, iid))
        return E_NOINTERFACE;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_IWebBrowser) ||
        IsEqualIID(iid, IID_IWebBrowserApp) || IsEqualIID(iid, IID_IWebBrowser2))
        *object = static_cast<IWebBrowser2*>(this);
    else if (IsEqualIID(iid, IID_IServiceProvider))
        *object = static_cast<IServiceProvider*>(this);
    else if (IsEqualIID(iid, IID_IConnectionPointContainer))
        *object = static_cast<IConnectionPointContainer*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) FakeWebBrowser::Release()
{
    const ULONG count = --refCount;
    if (count == 0)
        delete this;
    return count;
}

STDMETHODIMP FakeWebBrowser::Navigate(BSTR url, VARIANT* flags, VARIANT* targetFrame, VARIANT* postData,
                                      VARIANT* headers)
{
    navigations.push_back(RecordNavigation(BstrText(url), flags, targetFrame, postData, headers));
    Note(L"Navigate " + BstrText(url) + L" -> " + HresultText(navigateResult));
    if (SUCCEEDED(navigateResult) && onNavigate)
        onNavigate(BstrText(url));
    return navigateResult;
}

STDMETHODIMP FakeWebBrowser::Navigate2(VARIANT* url, VARIANT* flags, VARIANT* targetFrame, VARIANT* postData,
                                       VARIANT* headers)
{
    const std::wstring text = url ? VariantText(*url) : std::wstring();
    navigations.push_back(RecordNavigation(text, flags, targetFrame, postData, headers));
    navigations.back().viaNavigate2 = true;
    Note(L"Navigate2 " + text + L" -> " + HresultText(navigateResult));
    if (SUCCEEDED(navigateResult) && onNavigate)
        onNavigate(text);
    return navigateResult;
}

STDMETHODIMP FakeWebBrowser::get_Document(IDispatch** result)
{
    if (!result)
        return E_POINTER;
    *result = nullptr;
    if (FAILED(documentResult))
        return documentResult;
    if (document)
    {
        *result = static_cast<IHTMLDocument2*>(document.Get());
        (*result)->AddRef();
    }
    return S_OK;
}

STDMETHODIMP FakeWebBrowser::get_TopLevelContainer(VARIANT_BOOL* result)
{
    if (!result)
        return E_POINTER;
    *result = topLevel ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP FakeWebBrowser::get_LocationName(BSTR* result)
{
    return get_LocationURL(result);
}

STDMETHODIMP FakeWebBrowser::get_LocationURL(BSTR* result)
{
    if (!result)
        return E_POINTER;
    *result = AllocBstr(location);
    return S_OK;
}

STDMETHODIMP FakeWebBrowser::get_Busy(VARIANT_BOOL* result)
{
    if (!result)
        return E_POINTER;
    *result = VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP FakeWebBrowser::get_HWND(SHANDLE_PTR* result)
{
    if (!result)
        return E_POINTER;
    *result = reinterpret_cast<SHANDLE_PTR>(windows.frame);
    return S_OK;
}

STDMETHODIMP FakeWebBrowser::get_Visible(VARIANT_BOOL* result)
{
    if (!result)
        return E_POINTER;
    *result = VARIANT_TRUE;
    return S_OK;
}

STDMETHODIMP FakeWebBrowser::get_ReadyState(READYSTATE* result)
{
    if (!result)
        return E_POINTER;
    *result = READYSTATE_COMPLETE;
    return S_OK;
}

STDMETHODIMP FakeWebBrowser::QueryService(REFGUID service, REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (FAILED(queryServiceResult))
        return queryServiceResult;
    return QueryBrowserService(service, iid, object);
}

STDMETHODIMP FakeWebBrowser::FindConnectionPoint(REFIID iid, IConnectionPoint** point)
{
    if (!point)
        return E_POINTER;
    *point = nullptr;
    if (FAILED(findConnectionPointResult))
        return findConnectionPointResult;
    if (!IsEqualIID(iid, DIID_DWebBrowserEvents2))
        return CONNECT_E_NOCONNECTION;
    *point = connectionPoint.Get();
    (*point)->AddRef();
    return S_OK;
}

} // namespace testhost
