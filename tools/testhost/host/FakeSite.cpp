// The band site of the test host.
#include "host/FakeSite.h"

#include "host/FakeWebBrowser.h"

namespace testhost
{

STDMETHODIMP FakeSite::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (IsRefused(refusedInterfaces, iid))
        return E_NOINTERFACE;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleWindow))
        *object = static_cast<IOleWindow*>(this);
    else if (IsEqualIID(iid, IID_IInputObjectSite))
        *object = static_cast<IInputObjectSite*>(this);
    else if (IsEqualIID(iid, IID_IServiceProvider))
        *object = static_cast<IServiceProvider*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) FakeSite::Release()
{
    const ULONG count = --refCount;
    if (count == 0)
        delete this;
    return count;
}

STDMETHODIMP FakeSite::GetWindow(HWND* handle)
{
    if (!handle)
        return E_POINTER;
    *handle = nullptr;
    if (FAILED(getWindowResult))
        return getWindowResult;
    if (!nullWindow)
        *handle = window;
    return S_OK;
}

STDMETHODIMP FakeSite::OnFocusChangeIS(IUnknown* object, BOOL focused)
{
    IUnknown* identity = nullptr;
    if (object && SUCCEEDED(object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity))))
        identity->Release(); // only the address is kept, for comparison
    focusChanges.push_back({identity, focused != FALSE});
    return S_OK;
}

STDMETHODIMP FakeSite::QueryService(REFGUID service, REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (FAILED(queryServiceResult))
        return queryServiceResult;
    if (!browser)
        return E_NOINTERFACE;
    return browser->QueryBrowserService(service, iid, object);
}

} // namespace testhost
