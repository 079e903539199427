#include "settings/VistaSupport.h"

#include <shlwapi.h>

#include "core/ActivationContext.h"

namespace
{
// FOLDERID_LocalAppDataLow, spelled out so the entry point can be bound late.
constexpr KNOWNFOLDERID kLocalAppDataLow = {
    0xa520a1a4, 0x1780, 0x4ff6, {0xbd, 0x18, 0x16, 0x73, 0x43, 0xc5, 0xaf, 0x16}};
} // namespace

VistaSupport::VistaSupport() noexcept
{
    {
        // Loaded in the add-on's context when it can be activated, and in the caller's otherwise: either shell
        // tells the same folder.
        const ActivationScope scope;
        shell.Reset(LoadLibraryW(L"shell32.dll"));
    }
    if (shell)
        getKnownFolderPath = reinterpret_cast<GetKnownFolderPathFn>(
            reinterpret_cast<void*>(GetProcAddress(shell.Get(), "SHGetKnownFolderPath")));
}

std::wstring VistaSupport::LocalAppDataLowPath() const
{
    if (getKnownFolderPath)
    {
        PWSTR path = nullptr;
        const HRESULT hr = getKnownFolderPath(kLocalAppDataLow, 0, nullptr /* token */, &path);
        const CoTaskMemory owner(path);
        if (FAILED(hr))
            throw AtLocation(windows_error(static_cast<unsigned long>(hr)), kKnownFolderFailed);
        return path ? std::wstring(path) : std::wstring();
    }
    wchar_t path[MAX_PATH] = {};
    const HRESULT hr = SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
    if (FAILED(hr))
        throw AtLocation(windows_error(static_cast<unsigned long>(hr)), kFolderPathFailed);
    return path;
}

std::wstring DataFilePath(const std::wstring& fileName)
{
    std::wstring base;
    {
        const VistaSupport support;
        base = support.LocalAppDataLowPath();
    }
    wchar_t path[MAX_PATH] = {};
    if (base.size() >= MAX_PATH)
        return {};
    base.copy(path, base.size());
    if (!PathAppendW(path, L"Quillbury\\Toolbar"))
        return {};
    const int created = SHCreateDirectoryExW(nullptr, path, nullptr /* security */);
    if (created != ERROR_SUCCESS && created != ERROR_ALREADY_EXISTS)
        return {};
    if (!PathAppendW(path, fileName.c_str()))
        return {};
    return path;
}
