#include "settings/Registry.h"

#include <shlwapi.h>

#include <vector>

namespace
{
[[noreturn]] void Raise(LSTATUS status, const SourceLocation& location)
{
    throw AtLocation(windows_error(static_cast<unsigned long>(status)), location);
}
} // namespace

RegistryKey::RegistryKey(HKEY root, const std::wstring& path)
{
    const LSTATUS status = RegCreateKeyExW(root, path.c_str(), 0, nullptr /* class */, REG_OPTION_NON_VOLATILE,
                                           KEY_READ | KEY_WRITE, nullptr /* security */, key.Receive(), nullptr);
    if (status != ERROR_SUCCESS)
        Raise(status, kRegistryOpenFailed);
}

bool RegistryKey::QueryString(const wchar_t* name, std::wstring& text) const
{
    // Another thread or process may rewrite the value between the size query and the read. When it grew, the
    // read answers ERROR_MORE_DATA and both are asked again, until they agree.
    for (;;)
    {
        DWORD type = 0;
        DWORD size = 0;
        LSTATUS status = RegQueryValueExW(key.Get(), name, nullptr, &type, nullptr, &size);
        if (status == ERROR_FILE_NOT_FOUND)
            return false;
        if (status != ERROR_SUCCESS)
            Raise(status, kRegistryReadFailed);
        if ((type != REG_SZ && type != REG_EXPAND_SZ) || size % 2 != 0)
            return false;

        // Room for a terminator the stored data may lack.
        std::vector<wchar_t> buffer(size / 2 + 1, L'\0');
        DWORD read = size;
        status = RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &read);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status == ERROR_FILE_NOT_FOUND)
            return false;
        if (status != ERROR_SUCCESS)
            Raise(status, kRegistryReadFailed);
        // Rewritten meanwhile as a value of another kind or an odd size: absent, as if read first.
        if ((type != REG_SZ && type != REG_EXPAND_SZ) || read % 2 != 0)
            return false;
        const size_t count = std::min<size_t>(read / 2, buffer.size() - 1);
        size_t length = 0;
        while (length < count && buffer[length] != L'\0')
            ++length;
        text.assign(buffer.data(), length);
        return true;
    }
}

std::wstring RegistryKey::ReadString(const wchar_t* name) const
{
    std::wstring text;
    QueryString(name, text);
    return text;
}

void RegistryKey::SetString(const wchar_t* name, const std::wstring& text) const
{
    const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    const LSTATUS status =
        RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes);
    if (status != ERROR_SUCCESS)
        Raise(status, kRegistryWriteStringFailed);
}

void RegistryKey::SetDword(const wchar_t* name, DWORD value) const
{
    const LSTATUS status =
        RegSetValueExW(key.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    if (status != ERROR_SUCCESS)
        Raise(status, kRegistryWriteDwordFailed);
}

void RegistryKey::DeleteValue(const wchar_t* name) const
{
    const LSTATUS status = RegDeleteValueW(key.Get(), name);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        Raise(status, kRegistryDeleteValueFailed);
}

bool DeleteKeyTree(HKEY root, const std::wstring& path)
{
    const auto status = static_cast<LSTATUS>(SHDeleteKeyW(root, path.c_str()));
    if (status == ERROR_FILE_NOT_FOUND)
        return false;
    if (status != ERROR_SUCCESS)
        Raise(status, kRegistryDeleteTreeFailed);
    return true;
}
