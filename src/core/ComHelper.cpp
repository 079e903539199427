// Error information of a failed COM call.
#include "core/ComHelper.h"

#include <cwchar>

com_error MakeComError(HRESULT result, IUnknown* object, REFIID iid)
{
    // Asked directly rather than through TryQueryInterface: an object that fails this query with anything but
    // E_NOINTERFACE would otherwise send us back here for the error of the query, without end.
    ComPtr<ISupportErrorInfo> support;
    if (object && SUCCEEDED(object->QueryInterface(IID_ISupportErrorInfo, support.ReceiveVoid())) && support &&
        support->InterfaceSupportsErrorInfo(iid) == S_OK)
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
