// The library entry point: remembers the module handle and builds the process-wide objects.
#include "module/Module.h"
#include "module/ProcessObjects.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH)
    {
        SetModuleInstance(instance);
        DisableThreadLibraryCalls(instance);
        return InitializeProcessObjects() ? TRUE : FALSE;
    }
    // On process exit (reserved not null) other threads are already gone and the system reclaims
    // everything; only an unload by FreeLibrary tears the objects down.
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr)
        DestroyProcessObjects();
    return TRUE;
}
