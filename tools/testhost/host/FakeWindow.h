// A page window for the test host: records every script the guest runs with execScript.
#pragma once

#include <string>
#include <vector>

#include "host/ComSupport.h"
#include "host/HtmlWindow2Stubs.h"

namespace testhost
{

struct ExecutedScript
{
    std::wstring code;
    std::wstring language;
};

class FakeWindow final : public HtmlWindow2Stubs
{
public:
    static ComPtr<FakeWindow> Create();

    const std::vector<ExecutedScript>& Scripts() const { return scripts; }

    // Switches.
    HRESULT execScriptResult = S_OK; // answer of execScript (the call is recorded either way)
    RefusedInterfaces refusedInterfaces;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++refCount; }
    STDMETHODIMP_(ULONG) Release() override;

    // IHTMLWindow2
    STDMETHODIMP execScript(BSTR code, BSTR language, VARIANT* result) override;

private:
    template <typename T, typename... Args> friend ComPtr<T> MakeFake(Args&&... args);
    FakeWindow() = default;
    ~FakeWindow() = default;

    ULONG refCount = 1;
    std::vector<ExecutedScript> scripts;
};

} // namespace testhost
