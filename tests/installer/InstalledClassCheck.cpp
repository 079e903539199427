// Creates the add-on's two classes through ordinary COM activation, as the browser does, and prints the
// file that activation loaded, one line per class: "band <path>", "helper <path>".
// Exit code: 0 when both were created, 1 otherwise (with the failing HRESULT printed).
#include <windows.h>

#include <objbase.h>

#include <ocidl.h>

#include <cstdio>
#include <string>

#include "module/Guids.h"

namespace
{

std::string LoadedAddonPath()
{
    HMODULE module = GetModuleHandleW(L"Quillbury.dll");
    if (module == nullptr)
        return "(not loaded)";
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    char narrow[MAX_PATH * 2];
    int size =
        WideCharToMultiByte(CP_UTF8, 0, path, static_cast<int>(length), narrow, sizeof(narrow), nullptr, nullptr);
    return std::string(narrow, size > 0 ? static_cast<size_t>(size) : 0);
}

bool Create(const char* label, const GUID& clsid)
{
    IObjectWithSite* object = nullptr;
    HRESULT result =
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IObjectWithSite, reinterpret_cast<void**>(&object));
    if (FAILED(result))
    {
        std::printf("%s failed 0x%08lx\n", label, static_cast<unsigned long>(result));
        return false;
    }
    std::printf("%s %s\n", label, LoadedAddonPath().c_str());
    object->Release();
    return true;
}

} // namespace

int main()
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    bool created = Create("band", kBandClsid);
    created = Create("helper", kHelperClsid) && created;
    CoUninitialize();
    std::fflush(stdout);
    return created ? 0 : 1;
}
