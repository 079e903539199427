// Tiny guests for the host's own tests: an event sink that records what Invoke received, a band and a
// helper object that record what the host asks of them, and a class object to register them with COM.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <exdisp.h>
#include <servprov.h>
#include <shlguid.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "host/ComSupport.h"

namespace hosttest
{

using testhost::ComPtr;

// One argument of an Invoke as the sink saw it.
struct ArgumentSnapshot
{
    VARTYPE type;
    VARTYPE innerType;   // for VT_BYREF|VT_VARIANT: the type of the value referred to
    std::wstring text;   // that value (or the VT_BYREF|VT_BOOL value) as text
    IDispatch* dispatch; // for VT_DISPATCH
};

struct InvokeRecord
{
    DISPID id;
    WORD flags;
    UINT namedCount;
    std::vector<ArgumentSnapshot> arguments; // in rgvarg order
    std::wstring urlConverted;               // rgvarg[5] (BeforeNavigate2) or rgvarg[0] (DocumentComplete)
};

class TestSink final : public IDispatch
{
public:
    std::vector<InvokeRecord> records;
    bool cancelNavigation = false;
    HRESULT answer = S_OK;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        *object = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch))
            return E_NOINTERFACE;
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refCount; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG count = --refCount;
        if (count == 0)
            delete this;
        return count;
    }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT*, EXCEPINFO*,
                        UINT*) override
    {
        InvokeRecord record{id, flags, parameters->cNamedArgs, {}, {}};
        for (UINT index = 0; index < parameters->cArgs; ++index)
            record.arguments.push_back(Snapshot(parameters->rgvarg[index]));
        // The conversion the add-on makes of the URL argument.
        const UINT urlIndex = parameters->cArgs == 7 ? 5 : 0;
        if (parameters->cArgs > urlIndex)
            record.urlConverted = testhost::VariantText(parameters->rgvarg[urlIndex]);
        if (cancelNavigation && parameters->cArgs == 7)
            *parameters->rgvarg[0].pboolVal = VARIANT_TRUE;
        records.push_back(record);
        return answer;
    }

private:
    static ArgumentSnapshot Snapshot(const VARIANT& value)
    {
        ArgumentSnapshot snapshot{value.vt, VT_EMPTY, {}, nullptr};
        if (value.vt == (VT_BYREF | VT_VARIANT))
        {
            snapshot.innerType = value.pvarVal->vt;
            snapshot.text = testhost::VariantText(*value.pvarVal);
        }
        else if (value.vt == (VT_BYREF | VT_BOOL))
            snapshot.text = *value.pboolVal ? L"true" : L"false";
        else if (value.vt == VT_DISPATCH)
            snapshot.dispatch = value.pdispVal;
        return snapshot;
    }

    ULONG refCount = 1;
};

// What every guest records: calls in order, and how many are alive.
struct GuestRecord
{
    std::vector<std::wstring> calls;
    int alive = 0;
    ComPtr<IWebBrowser2> browserSeen; // what QueryService on the site gave, while sited
};

// A band: a child window of the site's window while sited.
class TestBand final : public IDeskBand, public IObjectWithSite, public IInputObject
{
public:
    static inline GuestRecord record;
    static inline TestBand* last = nullptr;
    static inline HRESULT keyAnswer = S_OK; // answer of TranslateAcceleratorIO

    TestBand()
    {
        ++record.alive;
        last = this;
    }

    HWND Window() const { return window; }

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        *object = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IDockingWindow) ||
            IsEqualIID(iid, IID_IDeskBand))
            *object = static_cast<IDeskBand*>(this);
        else if (IsEqualIID(iid, IID_IObjectWithSite))
            *object = static_cast<IObjectWithSite*>(this);
        else if (IsEqualIID(iid, IID_IInputObject))
            *object = static_cast<IInputObject*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refCount; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG count = --refCount;
        if (count == 0)
            delete this;
        return count;
    }

    // IOleWindow, IDockingWindow, IDeskBand
    STDMETHODIMP GetWindow(HWND* handle) override
    {
        *handle = window;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP ShowDW(BOOL show) override
    {
        record.calls.push_back(show ? L"ShowDW(1)" : L"ShowDW(0)");
        ShowWindow(window, show ? SW_SHOW : SW_HIDE);
        return S_OK;
    }
    STDMETHODIMP CloseDW(DWORD) override
    {
        record.calls.push_back(L"CloseDW");
        return S_OK;
    }
    STDMETHODIMP ResizeBorderDW(LPCRECT, IUnknown*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP GetBandInfo(DWORD, DWORD, DESKBANDINFO* info) override
    {
        record.calls.push_back(L"GetBandInfo");
        info->ptMinSize = {20, 24};
        info->ptActual = {300, 24};
        info->dwMask &= ~static_cast<DWORD>(DBIM_BKCOLOR);
        return S_OK;
    }

    // IObjectWithSite
    STDMETHODIMP SetSite(IUnknown* site) override
    {
        record.calls.push_back(site ? L"SetSite(site)" : L"SetSite(null)");
        if (window)
            DestroyWindow(window);
        window = nullptr;
        record.browserSeen.Reset();
        if (!site)
            return S_OK;
        ComPtr<IOleWindow> oleWindow;
        HWND parent = nullptr;
        if (FAILED(site->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(oleWindow.GetAddressOf()))) ||
            FAILED(oleWindow->GetWindow(&parent)) || !parent)
            return E_FAIL;
        window = CreateWindowExW(0, L"STATIC", L"test band", WS_CHILD, 0, 0, 10, 10, parent, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        ComPtr<IServiceProvider> services;
        if (SUCCEEDED(site->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(services.GetAddressOf()))))
            services->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2,
                                   reinterpret_cast<void**>(record.browserSeen.GetAddressOf()));
        return S_OK;
    }
    STDMETHODIMP GetSite(REFIID, void** object) override
    {
        *object = nullptr;
        return E_FAIL;
    }

    // IInputObject
    STDMETHODIMP UIActivateIO(BOOL, MSG*) override { return S_OK; }
    STDMETHODIMP HasFocusIO() override { return S_FALSE; }
    STDMETHODIMP TranslateAcceleratorIO(MSG* message) override
    {
        record.calls.push_back(L"TranslateAcceleratorIO(" + std::to_wstring(message->wParam) + L")");
        return keyAnswer;
    }

private:
    ~TestBand()
    {
        if (window)
            DestroyWindow(window);
        --record.alive;
        if (last == this)
            last = nullptr;
    }

    ULONG refCount = 1;
    HWND window = nullptr;
};

// A helper object: asks its site for the browser, as a browser helper object does.
class TestHelper final : public IObjectWithSite
{
public:
    static inline GuestRecord record;

    TestHelper() { ++record.alive; }

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        *object = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IObjectWithSite))
            return E_NOINTERFACE;
        *object = static_cast<IObjectWithSite*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refCount; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG count = --refCount;
        if (count == 0)
            delete this;
        return count;
    }
    STDMETHODIMP SetSite(IUnknown* site) override
    {
        record.calls.push_back(site ? L"SetSite(site)" : L"SetSite(null)");
        record.browserSeen.Reset();
        ComPtr<IServiceProvider> services;
        if (site &&
            SUCCEEDED(site->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(services.GetAddressOf()))))
            services->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2,
                                   reinterpret_cast<void**>(record.browserSeen.GetAddressOf()));
        return S_OK;
    }
    STDMETHODIMP GetSite(REFIID, void** object) override
    {
        *object = nullptr;
        return E_FAIL;
    }

private:
    ~TestHelper() { --record.alive; }
    ULONG refCount = 1;
};

// A class object for CoRegisterClassObject, creating T.
template <typename T> class TestClassFactory final : public IClassFactory
{
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        *object = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory))
            return E_NOINTERFACE;
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    // The class object is a static of the test program.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override
    {
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        T* created = new T();
        const HRESULT result = created->QueryInterface(iid, object);
        created->Release();
        return result;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

} // namespace hosttest
