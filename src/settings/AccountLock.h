// Serialises the writers of the account stores across the user's browser processes, so two background
// workers (or a worker and the login dialog) never interleave their e-mail and password writes.
#pragma once

#include <windows.h>

#include "core/ScopedHandle.h"

class AccountWriteLock
{
public:
    // Waits up to 30 s for the other writers; goes on unlocked after that rather than hang a worker.
    AccountWriteLock() noexcept;
    AccountWriteLock(const AccountWriteLock&) = delete;
    AccountWriteLock& operator=(const AccountWriteLock&) = delete;
    ~AccountWriteLock();

private:
    KernelHandle mutex;
    bool owned = false;
};
