// Error information of a failed COM call.
#include "core/ComHelper.h"

#include <cwchar>

com_error MakeComError(HRESULT result, IUnknown* object, REFIID iid)
{
    ComPtr<ISupportErrorInfo> support;
    if (TryQueryInterface(object, support) && support->InterfaceSupportsErrorInfo(iid) == S_OK)
    {
        ComPtr<IErrorInfo> info;
        if (GetErrorInfo(0, info.Receive()) == S_OK && info)
        {
            BSTR description = nullptr;
            if (SUCCEEDED(info->GetDescription(&description)))
            {
                std::wstring text = description ? std::wstring(description, wcslen(description)) : std::wstring();
                SysFreeString(description);
                return com_error(result, text);
            }
        }
    }
    return com_error(result, FormatSystemMessage(static_cast<unsigned long>(result)));
}
