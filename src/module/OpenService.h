// The browser's search-provider service, declared here because the mingw headers lack it. Only what
// registration uses is declared; the method order is the published one.
#pragma once

#include <windows.h>

#include <objbase.h>

inline constexpr CLSID kOpenServiceManagerClsid = {
    0x098870b6, 0x39ea, 0x480b, {0xb8, 0xb5, 0xdd, 0x01, 0x67, 0xc4, 0xdb, 0x59}};

struct IOpenService : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE IsDefault(BOOL* isDefault) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDefault(BOOL makeDefault, HWND owner) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetID(BSTR* id) = 0;
};

struct IOpenServiceManager : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE InstallService(LPCWSTR serviceUrl, IOpenService** service) = 0;
    virtual HRESULT STDMETHODCALLTYPE UninstallService(IOpenService* service) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetServiceByID(LPCWSTR id, IOpenService** service) = 0;
};

__CRT_UUID_DECL(IOpenService, 0xc2952ed1, 0x6a89, 0x4606, 0x92, 0x5f, 0x1e, 0xd8, 0xb4, 0xbe, 0x06, 0x30)
__CRT_UUID_DECL(IOpenServiceManager, 0x5664125f, 0x4e10, 0x4e90, 0x98, 0xe4, 0xe4, 0x51, 0x3d, 0x95, 0x5a, 0x14)
