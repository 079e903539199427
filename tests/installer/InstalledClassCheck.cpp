// Creates both classes of the add-on through COM, as the browser does, and prints the file they came from; the
// exit code counts the classes that could not be created.
#include <windows.h>

#include <objbase.h>

#include <ocidl.h>

#include <cstdio>
#include <initializer_list>

#include "module/Guids.h"

int main()
{
    int failures = FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) ? 1 : 0;
    for (const CLSID& clsid : {kBandClsid, kHelperClsid})
    {
        IObjectWithSite* object = nullptr;
        const HRESULT result = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IObjectWithSite,
                                                reinterpret_cast<void**>(&object));
        failures += SUCCEEDED(result) ? (object->Release(), 0) : 1;
    }
    char path[MAX_PATH] = "-";
    if (const HMODULE addon = GetModuleHandleW(L"Quillbury.dll"))
        GetModuleFileNameA(addon, path, MAX_PATH);
    std::printf("%s\n", path);
    CoUninitialize();
    return failures;
}
