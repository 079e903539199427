// Narrow text to an automation string.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <string>

// Converts with the system ANSI code page (CP_ACP). Null in, null out. A failed conversion throws
// _com_error with the last system error as an HRESULT; a failed allocation throws it with E_OUTOFMEMORY.
// The caller owns the result (SysFreeString).
[[nodiscard]] BSTR NarrowToBstr(const char* text);
