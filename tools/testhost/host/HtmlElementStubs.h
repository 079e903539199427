// Every method of IHTMLElement answering E_NOTIMPL, in the vtable order of mingw's <mshtml.h>. The test host's fakes
// derive from this and override what they play; IUnknown is left to them. Overriding every pure virtual
// means the compiler refuses a fake whose table misses a slot.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <mshtml.h>

namespace testhost
{

class HtmlElementStubs : public IHTMLElement
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

    // IHTMLElement
    STDMETHODIMP setAttribute(BSTR /*strAttributeName*/, VARIANT /*AttributeValue*/, LONG /*lFlags*/) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP getAttribute(BSTR /*strAttributeName*/, LONG /*lFlags*/, VARIANT* /*AttributeValue*/) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP removeAttribute(BSTR /*strAttributeName*/, LONG /*lFlags*/, VARIANT_BOOL* /*pfSuccess*/) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP put_className(BSTR /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_className(BSTR* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_id(BSTR /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_id(BSTR* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_tagName(BSTR* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_parentElement(IHTMLElement** /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_style(IHTMLStyle** /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_onhelp(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_onhelp(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_onclick(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_onclick(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_ondblclick(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_ondblclick(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_onkeydown(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_onkeydown(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_onkeyup(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_onkeyup(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_onkeypress(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_onkeypress(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_onmouseout(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_onmouseout(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_onmouseover(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_onmouseover(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_onmousemove(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_onmousemove(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_onmousedown(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_onmousedown(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_onmouseup(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_onmouseup(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_document(IDispatch** /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_title(BSTR /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_title(BSTR* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_language(BSTR /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_language(BSTR* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_onselectstart(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_onselectstart(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP scrollIntoView(VARIANT /*varargStart*/) override { return E_NOTIMPL; }
    STDMETHODIMP contains(IHTMLElement* /*pChild*/, VARIANT_BOOL* /*pfResult*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_sourceIndex(LONG* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_recordNumber(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_lang(BSTR /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_lang(BSTR* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_offsetLeft(LONG* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_offsetTop(LONG* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_offsetWidth(LONG* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_offsetHeight(LONG* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_offsetParent(IHTMLElement** /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_innerHTML(BSTR /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_innerHTML(BSTR* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_innerText(BSTR /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_innerText(BSTR* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_outerHTML(BSTR /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_outerHTML(BSTR* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_outerText(BSTR /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_outerText(BSTR* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP insertAdjacentHTML(BSTR /*where*/, BSTR /*html*/) override { return E_NOTIMPL; }
    STDMETHODIMP insertAdjacentText(BSTR /*where*/, BSTR /*text*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_parentTextEdit(IHTMLElement** /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_isTextEdit(VARIANT_BOOL* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP click() override { return E_NOTIMPL; }
    STDMETHODIMP get_filters(IHTMLFiltersCollection** /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_ondragstart(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_ondragstart(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP toString(BSTR* /*String*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_onbeforeupdate(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_onbeforeupdate(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_onafterupdate(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_onafterupdate(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_onerrorupdate(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_onerrorupdate(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_onrowexit(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_onrowexit(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_onrowenter(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_onrowenter(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_ondatasetchanged(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_ondatasetchanged(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_ondataavailable(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_ondataavailable(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_ondatasetcomplete(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_ondatasetcomplete(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP put_onfilterchange(VARIANT /*v*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_onfilterchange(VARIANT* /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_children(IDispatch** /*p*/) override { return E_NOTIMPL; }
    STDMETHODIMP get_all(IDispatch** /*p*/) override { return E_NOTIMPL; }
};

} // namespace testhost
