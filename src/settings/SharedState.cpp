// The mapping has the user's private, low-labelled security (settings/PrivateSecurity.h).
#include "settings/SharedState.h"

#include "settings/PrivateSecurity.h"

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
