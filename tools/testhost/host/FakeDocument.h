// A page document for the test host: hands out its body element and its window, and can write the page a
// user would see (the body plus every script the guest ran) for a real browser engine to load.
#pragma once

#include <string>
#include <vector>

#include "host/ComSupport.h"
#include "host/FakeElement.h"
#include "host/FakeWindow.h"
#include "host/HtmlDocument2Stubs.h"

namespace testhost
{

class FakeDocument final : public HtmlDocument2Stubs
{
public:
    // A document at url whose body holds bodyHtml, with a window of its own.
    static ComPtr<FakeDocument> Create(const std::wstring& bodyHtml, const std::wstring& url = std::wstring());

    // The body and window handed out; either may be set to null ("the page has no body").
    FakeElement* Body() const { return body.Get(); }
    FakeWindow* Window() const { return window.Get(); }
    void SetBody(FakeElement* element) { body = element; }
    void SetWindow(FakeWindow* pageWindow) { window = pageWindow; }

    // The body's inner HTML (empty without a body) and the scripts run in the window (none without one).
    std::wstring BodyHtml() const;
    std::vector<ExecutedScript> Scripts() const;

    // Writes "<!DOCTYPE html><html><head>...</head><body>BODY</body></html>" with each executed script in a
    // <script> element at the end of the body, in UTF-8. Returns false when the file cannot be written.
    bool WriteCapturedPage(const std::wstring& path) const;
    // The same page as text.
    std::wstring CapturedPage() const;

    // Switches.
    HRESULT bodyResult = S_OK;   // answer of get_body (failure leaves the out value null)
    HRESULT windowResult = S_OK; // answer of get_parentWindow (likewise)
    RefusedInterfaces refusedInterfaces;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++refCount; }
    STDMETHODIMP_(ULONG) Release() override;

    // IHTMLDocument2
    STDMETHODIMP get_body(IHTMLElement** p) override;
    STDMETHODIMP get_URL(BSTR* p) override;
    STDMETHODIMP get_parentWindow(IHTMLWindow2** p) override;

private:
    template <typename T, typename... Args> friend ComPtr<T> MakeFake(Args&&... args);
    explicit FakeDocument(const std::wstring& address) : url(address) {}
    ~FakeDocument() = default;

    ULONG refCount = 1;
    std::wstring url;
    ComPtr<FakeElement> body;
    ComPtr<FakeWindow> window;
};

} // namespace testhost
