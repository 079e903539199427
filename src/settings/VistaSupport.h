// The per-user data folder: "Quillbury\Toolbar" below the low-integrity local application-data folder
// (where a Protected Mode tab may write), or below the local application-data folder where the known-folder
// service is missing. The known-folder entry point is bound at run time.
#pragma once

#include <windows.h>

#include <shlobj.h>

#include <string>

#include "core/Errors.h"
#include "core/ScopedHandle.h"

inline constexpr SourceLocation kKnownFolderFailed{L"VistaSupport", 28};
inline constexpr SourceLocation kFolderPathFailed{L"VistaSupport", 43};

class VistaSupport
{
public:
    VistaSupport() noexcept;
    VistaSupport(const VistaSupport&) = delete;
    VistaSupport& operator=(const VistaSupport&) = delete;
    virtual ~VistaSupport() = default;

    // The base folder; throws windows_error (VistaSupport 28 or 43) when the shell cannot tell it.
    [[nodiscard]] std::wstring LocalAppDataLowPath() const;

private:
    using GetKnownFolderPathFn = HRESULT(WINAPI*)(REFKNOWNFOLDERID, DWORD, HANDLE, PWSTR*);

    LibraryHandle shell;
    GetKnownFolderPathFn getKnownFolderPath = nullptr;
};

// Full path of `fileName` in the data folder, creating the folder on the way; empty text when the path
// cannot be formed or the folder cannot be created. Throws what LocalAppDataLowPath throws.
[[nodiscard]] std::wstring DataFilePath(const std::wstring& fileName);
