// DllGetClassObject and DllCanUnloadNow: the two classes of the add-on and the module count.
#include "browser/SearchBar.h"
#include "browser/SearchBrowserHelper.h"
#include "module/ClassFactory.h"
#include "module/Guids.h"

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    if (!ppv)
        return E_INVALIDARG;
    *ppv = nullptr;
    if (IsEqualCLSID(rclsid, kBandClsid))
        return GetClassObjectOf<SearchBar>(riid, ppv);
    if (IsEqualCLSID(rclsid, kHelperClsid))
        return GetClassObjectOf<SearchBrowserHelper>(riid, ppv);
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow()
{
    return ModuleCount() == 0 ? S_OK : S_FALSE;
}
