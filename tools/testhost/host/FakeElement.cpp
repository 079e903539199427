// The body element fake: inner HTML kept as text, insertAdjacentHTML applied to it.
#include "host/FakeElement.h"

#include <cwctype>

namespace testhost
{
namespace
{

bool SameTextIgnoringCase(const std::wstring& left, const wchar_t* right)
{
    std::wstring::size_type index = 0;
    for (; right[index] != L'\0'; ++index)
    {
        if (index >= left.size() || std::towlower(left[index]) != std::towlower(right[index]))
            return false;
    }
    return index == left.size();
}

} // namespace

ComPtr<FakeElement> FakeElement::Create(const std::wstring& innerHtml, const std::wstring& tagName)
{
    return MakeFake<FakeElement>(innerHtml, tagName);
}

STDMETHODIMP FakeElement::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (IsRefused(refusedInterfaces, iid))
        return E_NOINTERFACE;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_IHTMLElement))
    {
        *object = static_cast<IHTMLElement*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) FakeElement::Release()
{
    const ULONG count = --refCount;
    if (count == 0)
        delete this;
    return count;
}

STDMETHODIMP FakeElement::get_tagName(BSTR* p)
{
    if (!p)
        return E_POINTER;
    *p = AllocBstr(tagName);
    return S_OK;
}

STDMETHODIMP FakeElement::put_innerHTML(BSTR v)
{
    calls.push_back(L"put_innerHTML");
    if (FAILED(insertResult))
        return insertResult;
    innerHtml = BstrText(v);
    return S_OK;
}

STDMETHODIMP FakeElement::get_innerHTML(BSTR* p)
{
    if (!p)
        return E_POINTER;
    *p = nullptr;
    calls.push_back(L"get_innerHTML");
    if (FAILED(innerHtmlResult))
        return innerHtmlResult;
    if (!nullInnerHtml)
        *p = AllocBstr(innerHtml);
    return S_OK;
}

STDMETHODIMP FakeElement::get_outerHTML(BSTR* p)
{
    if (!p)
        return E_POINTER;
    *p = AllocBstr(L"<" + tagName + L">" + innerHtml + L"</" + tagName + L">");
    return S_OK;
}

STDMETHODIMP FakeElement::insertAdjacentHTML(BSTR where, BSTR html)
{
    const std::wstring position = BstrText(where);
    calls.push_back(L"insertAdjacentHTML(" + position + L")");
    if (FAILED(insertResult))
        return insertResult;
    const std::wstring text = BstrText(html);
    if (SameTextIgnoringCase(position, L"beforeBegin"))
        beforeHtml += text;
    else if (SameTextIgnoringCase(position, L"afterBegin"))
        innerHtml.insert(0, text);
    else if (SameTextIgnoringCase(position, L"beforeEnd"))
        innerHtml += text;
    else if (SameTextIgnoringCase(position, L"afterEnd"))
        afterHtml.insert(0, text);
    else
        return E_INVALIDARG;
    return S_OK;
}

} // namespace testhost
