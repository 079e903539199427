// The band's site in the test host, as the browser's toolbar area offers it: the window the band lives in,
// the input-object site that hears its focus changes, and the web browser service.
#pragma once

#include <servprov.h>
#include <shlobj.h>

#include <vector>

#include "host/ComSupport.h"

namespace testhost
{

class FakeWebBrowser;

struct FocusChange
{
    IUnknown* object; // identity (IUnknown) of the object passed; not owned, for comparison only
    bool focused;
};

class FakeSite final : public IOleWindow, public IInputObjectSite, public IServiceProvider
{
public:
    HWND Window() const { return window; }
    const std::vector<FocusChange>& FocusChanges() const { return focusChanges; }

    // Switches.
    HRESULT getWindowResult = S_OK;    // answer of GetWindow (failure leaves the handle null)
    bool nullWindow = false;           // GetWindow gives S_OK and a null handle
    HRESULT queryServiceResult = S_OK; // answer of QueryService when failing, before any lookup
    RefusedInterfaces refusedInterfaces;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++refCount; }
    STDMETHODIMP_(ULONG) Release() override;

    // IOleWindow
    STDMETHODIMP GetWindow(HWND* handle) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL /*enterMode*/) override { return E_NOTIMPL; }

    // IInputObjectSite
    STDMETHODIMP OnFocusChangeIS(IUnknown* object, BOOL focused) override;

    // IServiceProvider: SID_SWebBrowserApp gives the browser; other services E_NOINTERFACE.
    STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** object) override;

private:
    friend class FakeWebBrowser;
    template <typename T, typename... Args> friend ComPtr<T> MakeFake(Args&&... args);
    FakeSite(HWND siteWindow, FakeWebBrowser* owner) : window(siteWindow), browser(owner) {}
    ~FakeSite() = default;
    // The browser owns its site; it detaches itself when it goes away.
    void DetachBrowser() { browser = nullptr; }

    ULONG refCount = 1;
    HWND window;
    FakeWebBrowser* browser;
    std::vector<FocusChange> focusChanges;
};

} // namespace testhost
