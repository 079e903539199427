// The security of the named objects the user's browser processes share (the shared block, the account lock):
// accessible to the current user only, with a low mandatory label so the same user's Protected Mode (low
// integrity) tabs and ordinary (medium integrity) processes open the same object; no other user of the
// machine can open it.
#pragma once

#include <windows.h>

#include "core/ScopedHandle.h"

// "D:P(A;;GA;;;<user>)S:(ML;;NW;;;LW)" for the user of this process; empty when it cannot be formed (the
// object then gets the token's default, which also grants this user alone, plus the system).
[[nodiscard]] LocalMemory PrivateSecurityDescriptor() noexcept;
