// Stands in for the updater beside the add-on: notes in the add-on's key that it ran, and with how many arguments.
#include <windows.h>

#include <string>

int main(int argc, char** /*argv*/)
{
    const std::wstring note = L"ran with " + std::to_wstring(argc - 1) + L" arguments";
    const auto size = static_cast<DWORD>((note.size() + 1) * sizeof(wchar_t));
    return static_cast<int>(
        RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Quillbury", L"updater", REG_SZ, note.c_str(), size));
}
