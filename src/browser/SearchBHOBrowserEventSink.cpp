#include "browser/SearchBHOBrowserEventSink.h"

#include <exdisp.h>
#include <exdispid.h>
#include <mshtml.h>
#include <oleauto.h>

#include <optional>

#include "browser/HostFromUrl.h"
#include "browser/PopupInjector.h"
#include "browser/SearchBar.h"
#include "browser/SearchBrowserHelper.h"
#include "core/ComHelper.h"
#include "core/ErrorReport.h"
#include "module/ProcessObjects.h"
#include "net/ServiceRequests.h"
#include "net/ServiceUrls.h"
#include "resources/resource.h"
#include "toolbar/SearchToolBar.h"
#include "toolbar/ShopList.h"
#include "workers/MainWorker.h"

namespace
{
// The browser passes BeforeNavigate2's seven arguments last first: the URL is the second.
constexpr UINT kBeforeNavigateUrl = 5;
constexpr UINT kDocumentCompleteBrowser = 1;
constexpr UINT kDocumentCompleteUrl = 0;

void StartDelayedMainWorker(volatile LONG* done, volatile LONG* running, DWORD delay)
{
    StartMainWorker(done, running, delay);
}

// Owns a VARIANT for the length of a conversion.
struct OwnedVariant
{
    OwnedVariant() noexcept { VariantInit(&value); }
    OwnedVariant(const OwnedVariant&) = delete;
    OwnedVariant& operator=(const OwnedVariant&) = delete;
    ~OwnedVariant() { VariantClear(&value); }
    VARIANT value;
};

std::wstring BstrText(BSTR text)
{
    return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

std::wstring LowerAscii(std::wstring text)
{
    for (wchar_t& c : text)
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    return text;
}

// An argument of the event, with a by-reference VARIANT followed to what it points at; null when the
// browser passed fewer arguments or a null reference.
const VARIANT* Argument(const DISPPARAMS& parameters, UINT index) noexcept
{
    if (!parameters.rgvarg || index >= parameters.cArgs)
        return nullptr;
    const VARIANT* argument = &parameters.rgvarg[index];
    // One level is what the browser sends; a second is followed too, further nesting is refused.
    for (int depth = 0; argument && argument->vt == (VT_BYREF | VT_VARIANT); ++depth)
        argument = depth < 2 ? argument->pvarVal : nullptr;
    return argument;
}

// The argument as text (a null BSTR is empty); nothing when it has no text form.
std::optional<std::wstring> ArgumentText(const DISPPARAMS& parameters, UINT index)
{
    const VARIANT* argument = Argument(parameters, index);
    if (!argument)
        return std::nullopt;
    if (argument->vt == VT_BSTR)
        return BstrText(argument->bstrVal);
    // A null reference or object has nothing to convert (and the conversion would follow it).
    if (((argument->vt & VT_BYREF) && !argument->byref) || (argument->vt == VT_DISPATCH && !argument->pdispVal) ||
        (argument->vt == VT_UNKNOWN && !argument->punkVal))
        return std::nullopt;
    if (argument->vt == (VT_BYREF | VT_BSTR))
        return BstrText(*argument->pbstrVal);
    OwnedVariant converted;
    // The source is only read; the header declares it without const.
    VARIANT* source = const_cast<VARIANT*>(argument);
    if (FAILED(VariantChangeType(&converted.value, source, 0 /* flags */, VT_BSTR)) || converted.value.vt != VT_BSTR)
        return std::nullopt;
    return BstrText(converted.value.bstrVal);
}

// The object an argument refers to (a new reference), or empty.
ComPtr<IUnknown> ArgumentObject(const DISPPARAMS& parameters, UINT index)
{
    const VARIANT* argument = Argument(parameters, index);
    if (!argument)
        return {};
    switch (argument->vt)
    {
    case VT_DISPATCH:
        return ComPtr<IUnknown>(argument->pdispVal);
    case VT_UNKNOWN:
        return ComPtr<IUnknown>(argument->punkVal);
    case VT_BYREF | VT_DISPATCH:
        return argument->ppdispVal ? ComPtr<IUnknown>(*argument->ppdispVal) : ComPtr<IUnknown>();
    case VT_BYREF | VT_UNKNOWN:
        return argument->ppunkVal ? ComPtr<IUnknown>(*argument->ppunkVal) : ComPtr<IUnknown>();
    default:
        return {};
    }
}

// The shop list of the toolbar on this thread, or null when no band with a toolbar is sited here.
const ShopList* CurrentToolbarShops() noexcept
{
    const SearchBar* band = CurrentThreadBand();
    const SearchToolBar* toolBar = band ? band->ToolBarWindow() : nullptr;
    return toolBar ? &toolBar->Shops() : nullptr;
}

// The browser object's current address; empty when it has none or does not say.
std::wstring LocationOf(IWebBrowser2& browser)
{
    BSTR location = nullptr;
    if (FAILED(browser.get_LocationURL(&location)))
        return {};
    const GenericScopedHandle<BSTR, &SysFreeString> owned(location);
    return BstrText(location);
}

// The browser object's HTML document, or empty when it has none.
ComPtr<IHTMLDocument2> DocumentOf(IWebBrowser2& browser)
{
    ComPtr<IDispatch> dispatch;
    if (FAILED(browser.get_Document(dispatch.Receive())) || !dispatch)
        return {};
    ComPtr<IHTMLDocument2> document;
    if (!TryQueryInterface(dispatch, document))
        return {};
    return document;
}
} // namespace

bool IsServiceAccountPage(const std::wstring& url)
{
    const std::wstring lower = LowerAscii(url);
    const std::wstring& domain = ServiceDomain();
    for (const wchar_t* path : {L"/get_password2", L"/inc/chk_login.php?frm=details", L"/save_my_empwd"})
        if (lower.find(domain + path) != std::wstring::npos)
            return true;
    return false;
}

SearchBHOBrowserEventSink::SearchBHOBrowserEventSink(SearchBrowserHelper& helper) noexcept
    : owner(helper), startMainWorker(&StartDelayedMainWorker)
{
}

STDMETHODIMP SearchBHOBrowserEventSink::Invoke(DISPID dispId, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT*,
                                               EXCEPINFO*, UINT*)
try
{
    switch (dispId)
    {
    case DISPID_BEFORENAVIGATE2:
        if (parameters)
            OnBeforeNavigate2(*parameters);
        break;
    case DISPID_ONQUIT:
        owner.ReleaseFrameHook();
        break;
    case DISPID_DOCUMENTCOMPLETE:
        if (parameters)
            OnDocumentComplete(*parameters);
        break;
    default:
        break;
    }
    return S_OK;
}
catch (const com_error& error)
{
    ShowError(error);
    return static_cast<HRESULT>(error.code);
}
catch (const wexception<std::runtime_error>& error)
{
    ShowError(error);
    return E_FAIL;
}
catch (const std::bad_alloc&)
{
    return E_OUTOFMEMORY;
}
catch (...)
{
    return E_FAIL;
}

void SearchBHOBrowserEventSink::OnBeforeNavigate2(const DISPPARAMS& parameters)
{
    const std::optional<std::wstring> url = ArgumentText(parameters, kBeforeNavigateUrl);
    if (!url || !IsServiceAccountPage(*url))
        return;
    // Started on every such navigation, running or not: the change made on that page must be picked up
    // by a run that begins after it, and the delay gives the service time to store it.
    SharedBlock& shared = Shared();
    startMainWorker(&shared.mainDone, &shared.mainRunning, 1);
}

void SearchBHOBrowserEventSink::OnDocumentComplete(const DISPPARAMS& parameters)
{
    const ShopList* shopList = fixedShopList ? fixedShopList : CurrentToolbarShops();
    if (!shopList || !shopList->IsLoaded())
        return;
    const std::optional<std::wstring> url = ArgumentText(parameters, kDocumentCompleteUrl);
    if (!url)
        return;
    const ComPtr<IUnknown> browserObject = ArgumentObject(parameters, kDocumentCompleteBrowser);

    // The service's own pages never get the popup, nor does a page that mentions it anywhere.
    if (LowerAscii(*url).find(ServiceDomain()) != std::wstring::npos)
        return;
    ComPtr<IWebBrowser2> browser;
    if (!TryQueryInterface(browserObject, browser))
        return;

    const std::wstring host = HostFromUrl(*url).value_or(*url);
    const std::optional<ShopRecord> shop = FindShop(*shopList, host);
    if (!shop)
        return;

    // Held until the popup is shown (then recorded) or this attempt stops (then given back), so the same
    // shop completing in another tab at this moment is skipped there.
    ShownShopKeys::Reservation reservation = Process().shownShopKeys.Reserve(shop->shopId);
    if (!reservation)
        return;

    // A document that completes after its browser moved on (a redirect, a frame reloaded) is not the page
    // the user sees.
    const std::wstring location = LocationOf(*CheckedPointer(browser.Get()));
    if (location != *url)
        return;
    const ComPtr<IHTMLDocument2> document = DocumentOf(*browser.Get());
    if (!document)
        return;

    const bool signedIn = SignedIn();
    const std::wstring link = service_urls::Redirect(RequestNonce(), signedIn ? StoredAccount() : ServiceAccount{},
                                                     signedIn, shop->shopId, location);
    PopupRequest request;
    request.document = document;
    request.templateId = IDR_SHOP_POPUP;
    request.replacements = {{L"%TARGET-URL-HERE%", link}};
    request.scriptCall = L"Popup.show('popupdiv')";
    // Without a body, with an empty one or without a window the key stays free: a later page of the shop
    // tries again.
    if (InjectPopup(request))
        reservation.Record();
}
