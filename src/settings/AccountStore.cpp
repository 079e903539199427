#include "settings/AccountStore.h"

#include <windows.h>

#include "core/ScopedHandle.h"
#include "core/Text.h"
#include "settings/Registry.h"
#include "settings/VistaSupport.h"

namespace
{
constexpr wchar_t kSection[] = L"config";

std::wstring ConfigPath()
{
    return DataFilePath(L"config.ini");
}

// A new file is made UTF-16 (its byte-order mark alone), in which the system keeps every value as written; a file
// that exists keeps its encoding, so an ANSI file an older version wrote goes on working.
void CreateUnicodeFile(const std::wstring& path)
{
    const KernelHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    constexpr BYTE kByteOrderMark[] = {0xFF, 0xFE};
    DWORD written = 0;
    if (file)
        WriteFile(file.Get(), kByteOrderMark, sizeof kByteOrderMark, &written, nullptr);
}

// What this version stores: 32 lowercase hexadecimal digits.
bool IsPasswordDigest(const std::wstring& text)
{
    return text.size() == 32 && text.find_first_not_of(L"0123456789abcdef") == std::wstring::npos;
}
} // namespace

std::wstring ReadIniValue(const wchar_t* key)
{
    const std::wstring path = ConfigPath();
    if (path.empty())
        return {};
    wchar_t buffer[256] = {};
    GetPrivateProfileStringW(kSection, key, L"", buffer, 256, path.c_str());
    return buffer;
}

void WriteIniValue(const wchar_t* key, const std::wstring& value)
{
    const std::wstring path = ConfigPath();
    if (path.empty())
        return;
    CreateUnicodeFile(path);
    WritePrivateProfileStringW(kSection, key, value.c_str(), path.c_str());
}

void ReadIniCredentials(std::wstring& email, std::wstring& password)
{
    email = ReadIniValue(L"email");
    password = ReadIniValue(L"password");
}

void WriteIniCredentials(const std::wstring& email, const std::wstring& password)
{
    WriteIniValue(L"email", email);
    WriteIniValue(L"password", password);
}

void ReadRegistryCredentials(std::wstring& email, std::wstring& password)
{
    const RegistryKey key(HKEY_CURRENT_USER, kSettingsKeyPath);
    email = key.ReadString(L"email");
    password = key.ReadString(L"password");
}

void WriteRegistryCredentials(const std::wstring& email, const std::wstring& password)
{
    const RegistryKey key(HKEY_CURRENT_USER, kSettingsKeyPath);
    key.SetString(L"email", email);
    key.SetString(L"password", password);
}

void UpgradeSettings()
{
    if (!ReadIniValue(L"version").empty())
        return;
    // Without a version the file may also come from this version, written for a user no installer ran for
    // (the toolbar's start runs this step for them): a digest is left as it is.
    const std::wstring plain = ReadIniValue(L"password");
    if (!plain.empty() && !IsPasswordDigest(plain))
    {
        const std::wstring digest = PasswordDigest(plain);
        WriteIniValue(L"password", digest);
        RegistryKey(HKEY_CURRENT_USER, kSettingsKeyPath).SetString(L"password", digest);
    }
    WriteIniValue(L"version", kProductVersion);
}
