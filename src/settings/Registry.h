// Registry access for the whole add-on. Every failure other than the absence of a value or key raises
// windows_error with the system code and a stable "Registry" location. Keys are opened (created when
// missing) on use and closed when the RegistryKey goes; nothing is cached.
#pragma once

#include <windows.h>

#include <string>

#include "core/Errors.h"
#include "core/ScopedHandle.h"

inline constexpr SourceLocation kRegistryOpenFailed{L"Registry", 27};
inline constexpr SourceLocation kRegistryReadFailed{L"Registry", 55};
inline constexpr SourceLocation kRegistryWriteStringFailed{L"Registry", 63};
inline constexpr SourceLocation kRegistryWriteDwordFailed{L"Registry", 75};
inline constexpr SourceLocation kRegistryDeleteValueFailed{L"Registry", 86};
inline constexpr SourceLocation kRegistryDeleteTreeFailed{L"Registry", 97};

class RegistryKey
{
public:
    // Opens root\path for reading and writing, creating it and any missing parents.
    RegistryKey(HKEY root, const std::wstring& path);

    // A REG_SZ or REG_EXPAND_SZ value (not expanded), up to its first NUL. False, with `text` untouched,
    // when the value is missing, of another type, or of an odd byte size. A value that another thread or
    // process makes longer while it is read is read again.
    bool QueryString(const wchar_t* name, std::wstring& text) const;
    // The same, with empty text for an absent value.
    [[nodiscard]] std::wstring ReadString(const wchar_t* name) const;
    // REG_SZ with the terminator counted in the byte length.
    void SetString(const wchar_t* name, const std::wstring& text) const;
    void SetDword(const wchar_t* name, DWORD value) const;
    // A missing value counts as deleted.
    void DeleteValue(const wchar_t* name) const;

    [[nodiscard]] HKEY Get() const noexcept { return key.Get(); }

private:
    KeyHandle key;
};

// Deletes root\path with all its subkeys: true when deleted, false when it did not exist.
bool DeleteKeyTree(HKEY root, const std::wstring& path);
