// Text helpers of the test host's fakes.
#include "host/ComSupport.h"

#include <cstdio>

namespace testhost
{

std::wstring HresultText(HRESULT result)
{
    wchar_t text[16] = {};
    swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(result));
    return text;
}

std::wstring GuidText(REFGUID guid)
{
    wchar_t text[40] = {};
    if (StringFromGUID2(guid, text, 40) == 0)
        return std::wstring();
    return text;
}

std::wstring VariantText(const VARIANT& value)
{
    VARIANT converted;
    VariantInit(&converted);
    // VariantChangeType follows VT_BYREF|VT_VARIANT by itself.
    if (FAILED(VariantChangeType(&converted, const_cast<VARIANT*>(&value), 0, VT_BSTR)))
        return std::wstring();
    std::wstring text = BstrText(converted.bstrVal);
    VariantClear(&converted);
    return text;
}

} // namespace testhost
