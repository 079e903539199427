#include "settings/AccountLock.h"

#include "settings/PrivateSecurity.h"

AccountWriteLock::AccountWriteLock(DWORD wait) noexcept
{
    const LocalMemory descriptor = PrivateSecurityDescriptor();
    SECURITY_ATTRIBUTES attributes{static_cast<DWORD>(sizeof(attributes)), descriptor.Get(), FALSE};
    mutex.Reset(CreateMutexW(descriptor ? &attributes : nullptr, FALSE, L"Quillbury_AccountWriteLock"));
    if (!mutex)
        return;
    const DWORD result = WaitForSingleObject(mutex.Get(), wait);
    // An abandoned mutex still gives ownership: its last owner ended mid-write, we rewrite whole values.
    owned = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

AccountWriteLock::~AccountWriteLock()
{
    if (owned)
        ReleaseMutex(mutex.Get());
}
