// The page window fake: execScript is recorded, never run.
#include "host/FakeWindow.h"

namespace testhost
{

ComPtr<FakeWindow> FakeWindow::Create()
{
    return MakeFake<FakeWindow>();
}

STDMETHODIMP FakeWindow::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (IsRefused(refusedInterfaces, iid))
        return E_NOINTERFACE;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, IID_IHTMLFramesCollection2) || IsEqualIID(iid, IID_IHTMLWindow2))
    {
        *object = static_cast<IHTMLWindow2*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) FakeWindow::Release()
{
    const ULONG count = --refCount;
    if (count == 0)
        delete this;
    return count;
}

STDMETHODIMP FakeWindow::execScript(BSTR code, BSTR language, VARIANT* result)
{
    scripts.push_back({BstrText(code), BstrText(language)});
    if (result)
        VariantInit(result);
    return execScriptResult;
}

} // namespace testhost
