#include "support/AddonRegistration.h"

#include "support/ChildProcess.h"

std::wstring AddonPath()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    folder.resize(folder.find_last_of(L'\\') + 1);
    return folder + L"Quillbury.dll";
}

DWORD RunRegsvr32(const std::wstring& switches)
{
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    return RunProgram(L"\"" + std::wstring(system) + L"\\regsvr32.exe\" " + switches + L" \"" + AddonPath() + L"\"");
}
