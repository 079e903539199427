// The account: an e-mail address and the password digest, kept in "config.ini" (section "config") in the
// data folder, which is the lasting copy, and under HKCU "Software\Quillbury", the working copy that every
// request reads. No lock: each value is read or written whole by the system.
#pragma once

#include <string>

inline constexpr wchar_t kSettingsKeyPath[] = L"Software\\Quillbury";
inline constexpr wchar_t kProductVersion[] = L"1.1.05";

// Reads of 255 characters at most; a missing file or key reads as empty text.
void ReadIniCredentials(std::wstring& email, std::wstring& password);
// Writes "email" then "password"; silently nothing when the data folder cannot be formed.
void WriteIniCredentials(const std::wstring& email, const std::wstring& password);

// Missing values read as empty text. Throw windows_error on registry failures.
void ReadRegistryCredentials(std::wstring& email, std::wstring& password);
void WriteRegistryCredentials(const std::wstring& email, const std::wstring& password);

// One-time step of registration and of the toolbar's start: a plain password left by an older version
// becomes its digest (INI and registry; a value that already is one stays), and "version" is stamped so the
// step never runs again.
void UpgradeSettings();

// INI access of section "config" in config.ini, for the few other keys the add-on keeps there.
[[nodiscard]] std::wstring ReadIniValue(const wchar_t* key);
void WriteIniValue(const wchar_t* key, const std::wstring& value);
