// Serialises the writers of the account stores across the user's browser processes, so two background
// workers (or a worker and the login dialog or a starting toolbar) never interleave their e-mail and password
// writes. The lock is a named mutex with the user's private, low-labelled security, so Protected Mode tabs
// and ordinary processes of the user share it.
#pragma once

#include <windows.h>

#include "core/ScopedHandle.h"

// How long a writer waits for the others before it goes on unlocked: a worker may wait, a window may not
// keep the user waiting (the others hold the lock for a few writes only).
inline constexpr DWORD kWorkerLockWait = 30000;
inline constexpr DWORD kWindowLockWait = 1000;

class AccountWriteLock
{
public:
    explicit AccountWriteLock(DWORD wait = kWorkerLockWait) noexcept;
    AccountWriteLock(const AccountWriteLock&) = delete;
    AccountWriteLock& operator=(const AccountWriteLock&) = delete;
    ~AccountWriteLock();

private:
    KernelHandle mutex;
    bool owned = false;
};
