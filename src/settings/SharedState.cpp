// The mapping is made accessible to the current user only, with a low mandatory label so the same user's
// Protected Mode (low integrity) tabs and ordinary (medium integrity) processes share one block; no other
// user of the machine can read or rewrite it.
#include "settings/SharedState.h"

#include <sddl.h>

#include <vector>

namespace
{
// "D:P(A;;GA;;;<user>)S:(ML;;NW;;;LW)" for the user of this process.
std::wstring PrivateLowLabelSddl()
{
    KernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive()))
        return {};
    DWORD size = 0;
    GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    if (size == 0)
        return {};
    std::vector<BYTE> buffer(size);
    if (!GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size))
        return {};
    const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
    LPWSTR sidText = nullptr;
    if (!ConvertSidToStringSidW(user->User.Sid, &sidText))
        return {};
    const LocalMemory owner(sidText);
    return std::wstring(L"D:P(A;;GA;;;") + sidText + L")S:(ML;;NW;;;LW)";
}

LocalMemory PrivateSecurityDescriptor()
{
    const std::wstring sddl = PrivateLowLabelSddl();
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!sddl.empty() &&
        ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return LocalMemory(descriptor);
    return LocalMemory();
}
} // namespace

SharedState::SharedState(const char* name) noexcept
{
    Open(name);
}

SharedState::~SharedState()
{
    Close();
}

bool SharedState::Open(const char* name) noexcept
{
    // Without a descriptor of our own the mapping gets the process token's default, which also
    // grants access to this user only (plus the system); only the low-integrity sharing is lost.
    const LocalMemory descriptor = PrivateSecurityDescriptor();
    SECURITY_ATTRIBUTES attributes{static_cast<DWORD>(sizeof(attributes)), descriptor.Get(), FALSE};
    // Opens the existing block when another process created it first.
    mapping.Reset(CreateFileMappingA(INVALID_HANDLE_VALUE, descriptor ? &attributes : nullptr, PAGE_READWRITE, 0,
                                     sizeof(SharedBlock), name));
    if (!mapping)
        return false;
    view = static_cast<SharedBlock*>(MapViewOfFile(mapping.Get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
    if (!view)
    {
        mapping.Reset();
        return false;
    }
    return true;
}

void SharedState::Close() noexcept
{
    if (view)
        UnmapViewOfFile(view);
    view = nullptr;
    mapping.Reset();
}
