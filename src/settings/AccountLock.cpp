#include "settings/AccountLock.h"

AccountWriteLock::AccountWriteLock() noexcept : mutex(CreateMutexW(nullptr, FALSE, L"Quillbury_AccountWriteLock"))
{
    if (!mutex)
        return;
    const DWORD wait = WaitForSingleObject(mutex.Get(), 30000);
    // An abandoned mutex still gives ownership: its last owner ended mid-write, we rewrite whole values.
    owned = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

AccountWriteLock::~AccountWriteLock()
{
    if (owned)
        ReleaseMutex(mutex.Get());
}
