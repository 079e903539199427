// The live ingredients of service addresses: the nonce of this second, the stored account and the
// signed-in flag, read at the moment an address is built; and the one way every reply is fetched.
#pragma once

#include <string>

#include "net/ServiceUrls.h"

// MD5 of the current local time's asctime text; the same for every address built within one second.
[[nodiscard]] std::wstring RequestNonce();
// "email" and "password" of HKCU\Software\Quillbury (empty when missing). Throws windows_error.
[[nodiscard]] ServiceAccount StoredAccount();
// The signed-in flag of the shared block.
[[nodiscard]] bool SignedIn() noexcept;

// GETs the address with the add-on's user agent. True only when the service answered (IsServiceAnswer: a
// 2xx status and a text that is not an HTML page), with the answer's text; anything else counts as the
// server not reached.
[[nodiscard]] bool FetchServiceAnswer(const std::wstring& url, std::wstring& answer);
