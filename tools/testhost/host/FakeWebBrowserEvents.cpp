// DWebBrowserEvents2 as the browser fires them: the arguments in reverse order in rgvarg, the URL and the
// other in/out values passed by reference, each sink called through IDispatch::Invoke.
#include <exdispid.h>

#include "host/FakeWebBrowser.h"

namespace testhost
{
namespace
{

void SetByReference(VARIANT& argument, VARIANT* target)
{
    VariantInit(&argument);
    argument.vt = VT_BYREF | VT_VARIANT;
    argument.pvarVal = target;
}

} // namespace

std::vector<HRESULT> FakeWebBrowser::FireEvent(DISPID id, DISPPARAMS& parameters, const std::wstring& description)
{
    std::vector<HRESULT> results;
    // A sink may unadvise while it handles the event; the list taken first keeps the others called.
    for (const ComPtr<IDispatch>& sink : connectionPoint->Sinks())
    {
        results.push_back(sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters,
                                       nullptr /* result */, nullptr /* exception */, nullptr /* argument error */));
        Note(L"event " + description + L" -> " + HresultText(results.back()));
    }
    if (results.empty())
        Note(L"event " + description + L" (no sink)");
    return results;
}

std::vector<HRESULT> FakeWebBrowser::FireBeforeNavigate2(const std::wstring& url, bool* cancel)
{
    ScopedVariant urlValue(url);
    ScopedVariant flagsValue;
    flagsValue.Get()->vt = VT_I4;
    flagsValue.Get()->lVal = 0;
    ScopedVariant targetValue(std::wstring{});
    ScopedVariant postDataValue;
    ScopedVariant headersValue(std::wstring{});
    VARIANT_BOOL cancelValue = VARIANT_FALSE;

    // BeforeNavigate2(pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel), last argument first.
    VARIANT arguments[7];
    VariantInit(&arguments[0]);
    arguments[0].vt = VT_BYREF | VT_BOOL;
    arguments[0].pboolVal = &cancelValue;
    SetByReference(arguments[1], headersValue.Get());
    SetByReference(arguments[2], postDataValue.Get());
    SetByReference(arguments[3], targetValue.Get());
    SetByReference(arguments[4], flagsValue.Get());
    SetByReference(arguments[5], urlValue.Get());
    VariantInit(&arguments[6]);
    arguments[6].vt = VT_DISPATCH;
    arguments[6].pdispVal = static_cast<IWebBrowser2*>(this); // borrowed for the call, as the browser does

    DISPPARAMS parameters = {arguments, nullptr /* named */, 7, 0};
    std::vector<HRESULT> results = FireEvent(DISPID_BEFORENAVIGATE2, parameters, L"BeforeNavigate2 " + url);
    if (cancel)
        *cancel = cancelValue != VARIANT_FALSE;
    return results;
}

std::vector<HRESULT> FakeWebBrowser::FireDocumentComplete(const std::wstring& url, IDispatch* frameBrowser)
{
    ScopedVariant urlValue(url);
    // DocumentComplete(pDisp, URL), last argument first.
    VARIANT arguments[2];
    SetByReference(arguments[0], urlValue.Get());
    VariantInit(&arguments[1]);
    arguments[1].vt = VT_DISPATCH;
    arguments[1].pdispVal = frameBrowser ? frameBrowser : static_cast<IWebBrowser2*>(this);

    DISPPARAMS parameters = {arguments, nullptr /* named */, 2, 0};
    return FireEvent(DISPID_DOCUMENTCOMPLETE, parameters, L"DocumentComplete " + url);
}

std::vector<HRESULT> FakeWebBrowser::FireOnQuit()
{
    DISPPARAMS parameters = {nullptr, nullptr, 0, 0};
    return FireEvent(DISPID_ONQUIT, parameters, L"OnQuit");
}

ComPtr<FakeDocument> FakeWebBrowser::Visit(const std::wstring& url, const std::wstring& bodyHtml)
{
    bool cancelled = false;
    FireBeforeNavigate2(url, &cancelled);
    if (cancelled)
        return nullptr;
    ComPtr<FakeDocument> page = FakeDocument::Create(bodyHtml, url);
    document = page;
    SetLocation(url);
    FireDocumentComplete(url);
    return page;
}

} // namespace testhost
