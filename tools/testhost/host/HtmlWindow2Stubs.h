// Every method of IHTMLWindow2 answering E_NOTIMPL, in the vtable order of mingw's <mshtml.h>. The test host's fakes
// derive from this and override what they play; IUnknown is left to them. Overriding every pure virtual
// means the compiler refuses a fake whose table misses a slot.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <mshtml.h>

namespace testhost
{

class HtmlWindow2Stubs : public IHTMLWindow2
{
public:
    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* /*count*/) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT /*index*/, LCID /*locale*/, ITypeInfo** /*info*/) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID /*iid*/, LPOLESTR* /*names*/, UINT /*count*/, LCID /*locale*/,
                               DISPID* /*ids*/) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP Invoke(DISPID /*id*/, REFIID /*iid*/, LCID /*locale*/, WORD /*flags*/, DISPPARAMS* /*params*/,
                        VARIANT* /*result*/, EXCEPINFO* /*exception*/, UINT* /*argError*/) override
    {
        return E_NOTIMPL;
    }

    // IHTMLFramesCollection2
    STDMETHODIMP item(VARIANT* /*pvarIndex*/, VARIANT* /*pvarResult*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_length(LONG* /*p*/) override { return E_NOTIMPL; }

    // IHTMLWindow2
    STDMETHODIMP get_frames(IHTMLFramesCollection2** /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_defaultStatus(BSTR /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_defaultStatus(BSTR* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_status(BSTR /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_status(BSTR* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP setTimeout(BSTR /*expression*/, LONG /*msec*/, VARIANT* /*language*/, LONG* /*timerID*/) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP clearTimeout(LONG /*timerID*/) override { return E_NOTIMPL; }
    STDMETHODIMP alert(BSTR /*message*/) override { return E_NOTIMPL; }
    STDMETHODIMP confirm(BSTR /*message*/, VARIANT_BOOL* /*confirmed*/) override { return E_NOTIMPL; }
    STDMETHODIMP prompt(BSTR /*message*/, BSTR /*defstr*/, VARIANT* /*textdata*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_Image(IHTMLImageElementFactory** /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_location(IHTMLLocation** /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_history(IOmHistory** /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP close() override { return E_NOTIMPL; }
    STDMETHODIMP put_opener(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_opener(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_navigator(IOmNavigator** /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_name(BSTR /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_name(BSTR* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_parent(IHTMLWindow2** /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP open(BSTR /*url*/, BSTR /*name*/, BSTR /*features*/, VARIANT_BOOL /*replace*/,
                      IHTMLWindow2** /*pomWindowResult*/) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP get_self(IHTMLWindow2** /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_top(IHTMLWindow2** /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_window(IHTMLWindow2** /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP navigate(BSTR /*url*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_onfocus(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_onfocus(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_onblur(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_onblur(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_onload(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_onload(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_onbeforeunload(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_onbeforeunload(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_onunload(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_onunload(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_onhelp(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_onhelp(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_onerror(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_onerror(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_onresize(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_onresize(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_onscroll(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_onscroll(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_document(IHTMLDocument2** /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_event(IHTMLEventObj** /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP get__newEnum(IUnknown** /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP showModalDialog(BSTR /*dialog*/, VARIANT* /*varArgIn*/, VARIANT* /*varOptions*/,
                                 VARIANT* /*varArgOut*/) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP showHelp(BSTR /*helpURL*/, VARIANT /*helpArg*/, BSTR /*features*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_screen(IHTMLScreen** /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_Option(IHTMLOptionElementFactory** /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP focus() override { return E_NOTIMPL; }
    STDMETHODIMP get_closed(VARIANT_BOOL* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP blur() override { return E_NOTIMPL; }
    STDMETHODIMP scroll(LONG /*x*/, LONG /*y*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_clientInformation(IOmNavigator** /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP setInterval(BSTR /*expression*/, LONG /*msec*/, VARIANT* /*language*/, LONG* /*timerID*/) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP clearInterval(LONG /*timerID*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_offscreenBuffering(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_offscreenBuffering(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP execScript(BSTR /*code*/, BSTR /*language*/, VARIANT* /*pvarRet*/) override { return E_NOTIMPL; }
    STDMETHODIMP toString(BSTR* /*String*/) override { return E_NOTIMPL; }
    STDMETHODIMP scrollBy(LONG /*x*/, LONG /*y*/) override { return E_NOTIMPL; }
    STDMETHODIMP scrollTo(LONG /*x*/, LONG /*y*/) override { return E_NOTIMPL; }
    STDMETHODIMP moveTo(LONG /*x*/, LONG /*y*/) override { return E_NOTIMPL; }
    STDMETHODIMP moveBy(LONG /*x*/, LONG /*y*/) override { return E_NOTIMPL; }
    STDMETHODIMP resizeTo(LONG /*x*/, LONG /*y*/) override { return E_NOTIMPL; }
    STDMETHODIMP resizeBy(LONG /*x*/, LONG /*y*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_external(IDispatch** /*p*/) override { return E_NOTIMPL; }
};

} // namespace testhost
