// DispatchEventSink: an IDispatch that receives DWebBrowserEvents2 through Invoke. It lives inside its
// owner as a member and is never allocated or freed by itself, so AddRef and Release count nothing.
#pragma once

#include <windows.h>

#include <oaidl.h>

class DispatchEventSink : public IDispatch
{
public:
    DispatchEventSink() noexcept = default;
    DispatchEventSink(const DispatchEventSink&) = delete;
    DispatchEventSink& operator=(const DispatchEventSink&) = delete;
    virtual ~DispatchEventSink() = default;

    // IUnknown: answers IUnknown and IDispatch only (not the events interface itself).
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
};
