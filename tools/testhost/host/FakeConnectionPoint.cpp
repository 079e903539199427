// The DWebBrowserEvents2 connection point of the test host's browser.
#include "host/FakeConnectionPoint.h"

#include <exdisp.h>

namespace testhost
{

std::vector<ComPtr<IDispatch>> FakeConnectionPoint::Sinks() const
{
    std::vector<ComPtr<IDispatch>> sinks;
    for (const Connection& connection : connections)
        sinks.push_back(connection.sink);
    return sinks;
}

STDMETHODIMP FakeConnectionPoint::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IConnectionPoint))
        return E_NOINTERFACE;
    *object = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) FakeConnectionPoint::Release()
{
    const ULONG count = --refCount;
    if (count == 0)
        delete this;
    return count;
}

STDMETHODIMP FakeConnectionPoint::GetConnectionInterface(IID* iid)
{
    if (!iid)
        return E_POINTER;
    *iid = DIID_DWebBrowserEvents2;
    return S_OK;
}

STDMETHODIMP FakeConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** owner)
{
    if (!owner)
        return E_POINTER;
    *owner = container;
    if (!container)
        return E_UNEXPECTED;
    container->AddRef();
    return S_OK;
}

STDMETHODIMP FakeConnectionPoint::Advise(IUnknown* sink, DWORD* cookie)
{
    if (!sink || !cookie)
        return E_POINTER;
    *cookie = 0;
    HRESULT result = adviseResult;
    ComPtr<IDispatch> dispatch;
    // The browser calls its sinks through IDispatch::Invoke, so that is all it asks of them.
    if (SUCCEEDED(result) &&
        FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.GetAddressOf()))))
        result = CONNECT_E_CANNOTCONNECT;
    if (SUCCEEDED(result))
    {
        *cookie = nextCookie++;
        connections.push_back({*cookie, dispatch});
    }
    calls.push_back({true, *cookie, result});
    return result;
}

STDMETHODIMP FakeConnectionPoint::Unadvise(DWORD cookie)
{
    HRESULT result = CONNECT_E_NOCONNECTION;
    for (auto connection = connections.begin(); connection != connections.end(); ++connection)
    {
        if (connection->cookie == cookie)
        {
            connections.erase(connection);
            result = S_OK;
            break;
        }
    }
    calls.push_back({false, cookie, result});
    return result;
}

} // namespace testhost
