// Small COM helpers shared by the test host's fakes: the smart pointer, BSTR and VARIANT text, and the
// "refuse this interface" switch that every fake offers for error-path tests.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <oleauto.h>

#include <algorithm>
#include <string>
#include <vector>
#include <wrl/client.h>

// Connection-point results that mingw's headers do not declare (olectl.h of the platform SDK).
#ifndef CONNECT_E_NOCONNECTION
#define CONNECT_E_NOCONNECTION static_cast<HRESULT>(0x80040200L)
#endif
#ifndef CONNECT_E_CANNOTCONNECT
#define CONNECT_E_CANNOTCONNECT static_cast<HRESULT>(0x80040202L)
#endif

namespace testhost
{

using Microsoft::WRL::ComPtr;

// Creates a fake with its initial reference (the fakes start at 1) owned by the returned pointer. Not
// through ComPtr::Attach: mingw-w64's takes a reference of its own, which would keep every fake alive.
template <typename T, typename... Args> ComPtr<T> MakeFake(Args&&... args)
{
    ComPtr<T> object;
    *object.GetAddressOf() = new T(std::forward<Args>(args)...);
    return object;
}

// Text of a BSTR; a null BSTR is the empty text.
inline std::wstring BstrText(BSTR text)
{
    return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

// A BSTR copy of the text (the caller owns it). Embedded zeros survive.
inline BSTR AllocBstr(const std::wstring& text)
{
    return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

// "0x80004005" style text for logs.
std::wstring HresultText(HRESULT result);

// "{4C8E1F27-93B5-...}" text of a GUID.
std::wstring GuidText(REFGUID guid);

// Interfaces that a fake pretends not to have (QueryInterface answers E_NOINTERFACE for them).
using RefusedInterfaces = std::vector<IID>;

inline bool IsRefused(const RefusedInterfaces& refused, REFIID iid)
{
    return std::any_of(refused.begin(), refused.end(), [&](const IID& one) { return IsEqualIID(one, iid); });
}

// Owns one VARIANT and clears it on destruction.
class ScopedVariant
{
public:
    ScopedVariant() { VariantInit(&value); }
    explicit ScopedVariant(const std::wstring& text)
    {
        VariantInit(&value);
        value.vt = VT_BSTR;
        value.bstrVal = AllocBstr(text);
    }
    ~ScopedVariant() { VariantClear(&value); }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;

    VARIANT* Get() { return &value; }
    const VARIANT& Ref() const { return value; }

private:
    VARIANT value;
};

// Text of a VARIANT converted as VariantChangeType would (by-reference values are followed); empty when the
// value has no text form.
std::wstring VariantText(const VARIANT& value);

} // namespace testhost
