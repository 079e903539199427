// DllGetClassObject and DllCanUnloadNow.
#include "module/ClassFactory.h"
#include "module/Guids.h"

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    if (!ppv)
        return E_INVALIDARG;
    *ppv = nullptr;
    // The band and the helper object are served here once their classes exist; until then the two
    // identifiers are known but not available, and no placeholder object is ever handed out.
    static_cast<void>(riid);
    static_cast<void>(rclsid);
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow()
{
    return ModuleCount() == 0 ? S_OK : S_FALSE;
}
