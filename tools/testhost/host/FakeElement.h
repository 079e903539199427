// A page body element for the test host: keeps its inner HTML as text and applies insertAdjacentHTML inside
// it, as the browser's element does, so tests can read what the guest put into the page.
#pragma once

#include <string>

#include "host/ComSupport.h"
#include "host/HtmlElementStubs.h"

namespace testhost
{

class FakeElement final : public HtmlElementStubs
{
public:
    static ComPtr<FakeElement> Create(const std::wstring& innerHtml, const std::wstring& tagName = L"BODY");

    const std::wstring& InnerHtml() const { return innerHtml; }

    // Switches.
    HRESULT innerHtmlResult = S_OK; // answer of get_innerHTML (failure leaves the out value null)

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++refCount; }
    STDMETHODIMP_(ULONG) Release() override;

    // IHTMLElement
    STDMETHODIMP get_tagName(BSTR* p) override;
    STDMETHODIMP put_innerHTML(BSTR v) override;
    STDMETHODIMP get_innerHTML(BSTR* p) override;
    STDMETHODIMP get_outerHTML(BSTR* p) override;
    // Inside the element only ("afterBegin", "beforeEnd"); other places are not kept (E_NOTIMPL).
    STDMETHODIMP insertAdjacentHTML(BSTR where, BSTR html) override;

private:
    template <typename T, typename... Args> friend ComPtr<T> MakeFake(Args&&... args);
    FakeElement(const std::wstring& html, const std::wstring& tag) : innerHtml(html), tagName(tag) {}
    ~FakeElement() = default;

    ULONG refCount = 1;
    std::wstring innerHtml;
    std::wstring tagName;
};

} // namespace testhost
