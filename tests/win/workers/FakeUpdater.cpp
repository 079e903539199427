// Stands in for the updater installed beside the add-on in the worker tests: it records that it ran, and
// with how many arguments, under HKCU\Software\QuillburyTests\Updater ("arguments" first, then "ran" = 1).
#include <windows.h>

int main(int argc, char** /*argv*/)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\QuillburyTests\\Updater", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return 1;
    const DWORD arguments = static_cast<DWORD>(argc > 0 ? argc - 1 : 0);
    const DWORD ran = 1;
    RegSetValueExW(key, L"arguments", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&arguments), sizeof(arguments));
    RegSetValueExW(key, L"ran", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&ran), sizeof(ran));
    RegCloseKey(key);
    return 0;
}
