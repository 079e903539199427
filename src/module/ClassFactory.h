// ClassFactory<T>: the class object of one COM class. T is constructed with `new T()`, which leaves it with
// reference count 1 and its module-count units taken; it is then asked for the caller's interface and
// released, so an unsupported interface destroys the new object at once. Aggregation is never supported.
// Class objects live in the apartment of their caller: the reference count is a plain integer.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <new>

#include "core/ErrorReport.h"
#include "module/Module.h"

template <class T> class ClassFactory : public IClassFactory
{
public:
    ClassFactory() noexcept = default;
    ClassFactory(const ClassFactory&) = delete;
    ClassFactory& operator=(const ClassFactory&) = delete;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_INVALIDARG;
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IClassFactory)
            return E_NOINTERFACE;
        *ppv = static_cast<IClassFactory*>(this);
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

    // IClassFactory
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_INVALIDARG;
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        try
        {
            T* object = new T();
            const HRESULT result = object->QueryInterface(riid, ppv);
            object->Release();
            return result;
        }
        catch (const wexception<std::runtime_error>& error)
        {
            LogError(kBrowserThreadEventId, error);
            return E_FAIL;
        }
        catch (...)
        {
            return UnexpectedFailure();
        }
    }
    STDMETHODIMP LockServer(BOOL lock) override
    {
        if (lock)
            IncrementModuleCount();
        else
            DecrementModuleCount();
        return S_OK;
    }

    virtual ~ClassFactory() = default;

private:
    ULONG refCount = 1;
    ModuleReference moduleUnit;
};

// Steps of DllGetClassObject for a known class: a fresh class object, asked for riid, then released.
template <class T> HRESULT GetClassObjectOf(REFIID riid, void** ppv) noexcept
{
    auto* factory = new (std::nothrow) ClassFactory<T>();
    if (!factory)
        return E_OUTOFMEMORY;
    const HRESULT result = factory->QueryInterface(riid, ppv);
    factory->Release();
    return result;
}
