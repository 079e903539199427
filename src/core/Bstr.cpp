#include "core/Bstr.h"

#include <comdef.h>

#include <vector>

BSTR NarrowToBstr(const char* text)
{
    if (!text)
        return nullptr;
    const int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (size <= 0)
        throw _com_error(static_cast<HRESULT>(0x80070000u | (GetLastError() & 0xFFFFu)));
    std::vector<wchar_t> wide(static_cast<size_t>(size));
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), size) <= 0)
        throw _com_error(static_cast<HRESULT>(0x80070000u | (GetLastError() & 0xFFFFu)));
    BSTR result = SysAllocString(wide.data());
    if (!result)
        throw _com_error(E_OUTOFMEMORY);
    return result;
}
