// The browser's DWebBrowserEvents2 connection point in the test host: several sinks, each with its cookie.
#pragma once

#include <ocidl.h>

#include <vector>

#include "host/ComSupport.h"

namespace testhost
{

struct AdviseCall
{
    bool advise; // false: Unadvise
    DWORD cookie;
    HRESULT result;
};

class FakeConnectionPoint final : public IConnectionPoint
{
public:
    // The advised sinks, in advise order.
    std::vector<ComPtr<IDispatch>> Sinks() const;
    std::size_t SinkCount() const { return connections.size(); }
    // Every Advise and Unadvise, in call order.
    const std::vector<AdviseCall>& Calls() const { return calls; }

    // Switches.
    HRESULT adviseResult = S_OK; // a failure is returned without connecting

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++refCount; }
    STDMETHODIMP_(ULONG) Release() override;

    // IConnectionPoint
    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** /*connections*/) override { return E_NOTIMPL; }

private:
    friend class FakeWebBrowser;
    template <typename T, typename... Args> friend ComPtr<T> MakeFake(Args&&... args);
    explicit FakeConnectionPoint(IConnectionPointContainer* owner) : container(owner) {}
    ~FakeConnectionPoint() = default;
    // The browser owns its point; it detaches itself when it goes away.
    void DetachContainer() { container = nullptr; }

    struct Connection
    {
        DWORD cookie;
        ComPtr<IDispatch> sink;
    };

    ULONG refCount = 1;
    IConnectionPointContainer* container;
    std::vector<Connection> connections;
    std::vector<AdviseCall> calls;
    DWORD nextCookie = 1;
};

} // namespace testhost
