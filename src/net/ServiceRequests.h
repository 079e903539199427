// The live ingredients of service addresses: the nonce of this second, the stored account and the
// signed-in flag, read at the moment an address is built.
#pragma once

#include <string>

#include "net/ServiceUrls.h"

// MD5 of the current local time's asctime text; the same for every address built within one second.
[[nodiscard]] std::wstring RequestNonce();
// "email" and "password" of HKCU\Software\Quillbury (empty when missing). Throws windows_error.
[[nodiscard]] ServiceAccount StoredAccount();
// The signed-in flag of the shared block.
[[nodiscard]] bool SignedIn() noexcept;
