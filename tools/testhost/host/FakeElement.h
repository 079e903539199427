// A page body element for the test host: keeps its inner HTML as text and applies insertAdjacentHTML to it,
// as the browser's element does, so tests can read what the guest put into the page.
#pragma once

#include <string>
#include <vector>

#include "host/ComSupport.h"
#include "host/HtmlElementStubs.h"

namespace testhost
{

class FakeElement final : public HtmlElementStubs
{
public:
    static ComPtr<FakeElement> Create(const std::wstring& innerHtml, const std::wstring& tagName = L"BODY");

    const std::wstring& InnerHtml() const { return innerHtml; }
    void SetInnerHtml(const std::wstring& html) { innerHtml = html; }
    // Text put before and after the element itself ("beforeBegin", "afterEnd").
    const std::wstring& BeforeHtml() const { return beforeHtml; }
    const std::wstring& AfterHtml() const { return afterHtml; }
    // "put_innerHTML", "insertAdjacentHTML(afterBegin)", ... in call order.
    const std::vector<std::wstring>& Calls() const { return calls; }

    // Switches.
    HRESULT innerHtmlResult = S_OK; // answer of get_innerHTML (failure leaves the out value null)
    bool nullInnerHtml = false;     // get_innerHTML gives S_OK with a null BSTR
    HRESULT insertResult = S_OK;    // answer of insertAdjacentHTML and put_innerHTML (failure changes nothing)
    RefusedInterfaces refusedInterfaces;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++refCount; }
    STDMETHODIMP_(ULONG) Release() override;

    // IHTMLElement
    STDMETHODIMP get_tagName(BSTR* p) override;
    STDMETHODIMP put_innerHTML(BSTR v) override;
    STDMETHODIMP get_innerHTML(BSTR* p) override;
    STDMETHODIMP get_outerHTML(BSTR* p) override;
    STDMETHODIMP insertAdjacentHTML(BSTR where, BSTR html) override;

private:
    template <typename T, typename... Args> friend ComPtr<T> MakeFake(Args&&... args);
    FakeElement(const std::wstring& html, const std::wstring& tag) : innerHtml(html), tagName(tag) {}
    ~FakeElement() = default;

    ULONG refCount = 1;
    std::wstring innerHtml;
    std::wstring tagName;
    std::wstring beforeHtml;
    std::wstring afterHtml;
    std::vector<std::wstring> calls;
};

} // namespace testhost
