// Stand-in for the browser's search-provider service, served in-process under its real class id. The
// registration under test runs inside regsvr32, another process, so every call is recorded in the registry
// under HKCU "Software\QuillburyTests\OpenService" where the test reads it afterwards:
//   "created"          REG_DWORD  manager objects created so far
//   "requestedId"      REG_SZ     the id of the last GetServiceByID
//   "setDefaultCalls"  REG_DWORD  SetDefault calls so far
//   "setDefault"       REG_DWORD  the BOOL of the last SetDefault
//   "nullOwner"        REG_DWORD  1 when the last SetDefault had no owner window
//   "alive"            REG_DWORD  objects of this server not yet released
// A REG_DWORD "getServiceResult" that the test writes there replaces S_OK as the answer for the known id
// (a service object is still handed out when it is a success code).
#include <windows.h>

#include <objbase.h>

#include <new>

#include "module/OpenService.h"

namespace
{
constexpr wchar_t kRecordKey[] = L"Software\\QuillburyTests\\OpenService";
constexpr wchar_t kKnownId[] = L"x-osid:1:search:{0E9A5C73-6B2F-4A81-B4D6-93C1E7F28A05}";

LONG liveObjects = 0; // objects and server locks; all calls come from the creating apartment

void Record(const wchar_t* name, DWORD type, const void* data, DWORD size) noexcept
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kRecordKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

void RecordDword(const wchar_t* name, DWORD value) noexcept
{
    Record(name, REG_DWORD, &value, sizeof value);
}

void RecordText(const wchar_t* name, const wchar_t* text) noexcept
{
    Record(name, REG_SZ, text, static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
}

DWORD ReadDword(const wchar_t* name, DWORD fallback) noexcept
{
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, kRecordKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
        return fallback;
    return value;
}

void Count(const wchar_t* name) noexcept
{
    RecordDword(name, ReadDword(name, 0) + 1);
}

void ChangeLiveObjects(LONG delta) noexcept
{
    liveObjects += delta;
    RecordDword(L"alive", static_cast<DWORD>(liveObjects));
}

// Reference counting and identity shared by the fake's objects.
template <class Interface> class FakeObject : public Interface
{
public:
    FakeObject(const FakeObject&) = delete;
    FakeObject& operator=(const FakeObject&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != __uuidof(Interface))
            return E_NOINTERFACE;
        *ppv = static_cast<Interface*>(this);
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

protected:
    FakeObject() noexcept { ChangeLiveObjects(+1); }
    virtual ~FakeObject() { ChangeLiveObjects(-1); }

private:
    ULONG refCount = 1;
};

class FakeService final : public FakeObject<IOpenService>
{
public:
    STDMETHODIMP IsDefault(BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP SetDefault(BOOL makeDefault, HWND owner) override
    {
        Count(L"setDefaultCalls");
        RecordDword(L"setDefault", static_cast<DWORD>(makeDefault));
        RecordDword(L"nullOwner", owner == nullptr ? 1 : 0);
        return S_OK;
    }
    STDMETHODIMP GetID(BSTR*) override { return E_NOTIMPL; }
};

class FakeServiceManager final : public FakeObject<IOpenServiceManager>
{
public:
    FakeServiceManager() noexcept { Count(L"created"); }

    STDMETHODIMP InstallService(LPCWSTR, IOpenService**) override { return E_NOTIMPL; }
    STDMETHODIMP UninstallService(IOpenService*) override { return E_NOTIMPL; }
    STDMETHODIMP GetServiceByID(LPCWSTR id, IOpenService** service) override
    {
        RecordText(L"requestedId", id ? id : L"(null)");
        if (!service)
            return E_POINTER;
        *service = nullptr;
        if (!id || wcscmp(id, kKnownId) != 0)
            return E_INVALIDARG; // no provider is installed under any other id
        const auto answer = static_cast<HRESULT>(ReadDword(L"getServiceResult", S_OK));
        if (FAILED(answer))
            return answer;
        *service = new (std::nothrow) FakeService;
        return *service ? answer : E_OUTOFMEMORY;
    }
};

class ManagerFactory final : public IClassFactory
{
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IClassFactory)
            return E_NOINTERFACE;
        *ppv = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    // The factory is a static object: its count does not decide its lifetime.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        auto* manager = new (std::nothrow) FakeServiceManager;
        if (!manager)
            return E_OUTOFMEMORY;
        const HRESULT result = manager->QueryInterface(riid, ppv);
        manager->Release();
        return result;
    }
    STDMETHODIMP LockServer(BOOL lock) override
    {
        ChangeLiveObjects(lock ? +1 : -1);
        return S_OK;
    }
    virtual ~ManagerFactory() = default;
};

ManagerFactory factory;
} // namespace

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    if (!ppv)
        return E_INVALIDARG;
    *ppv = nullptr;
    if (rclsid != kOpenServiceManagerClsid)
        return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow()
{
    return liveObjects == 0 ? S_OK : S_FALSE;
}
