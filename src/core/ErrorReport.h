// The two reports of an unexpected failure, and the small text helpers they need.
//  - ShowError: a message box (string 111 followed by the error's message, caption string 105), then the
//    event-log entry. Only on threads that own windows.
//  - LogError: the event-log entry alone (source "Quillbury", error type, the given event id, three
//    insertion strings: message, source unit, line).
// Neither ever throws.
#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "core/Errors.h"

inline constexpr DWORD kBrowserThreadEventId = 0xC0000002; // class objects and every ShowError
inline constexpr DWORD kWorkerThreadEventId = 0xC0000001;  // the background workers

inline constexpr SourceLocation kGuidToStringFailed{L"Program", 126};

void LogError(DWORD eventId, const wexception<std::runtime_error>& error) noexcept;
void ShowError(const wexception<std::runtime_error>& error) noexcept;

// The three insertion strings of an event-log entry, in their order.
[[nodiscard]] std::array<std::wstring, 3> EventStrings(const wexception<std::runtime_error>& error);

// A string-table entry of the add-on's module, at most 499 characters; empty when there is none.
[[nodiscard]] std::wstring LoadResourceString(UINT id);

// "{" + lowercase GUID text + "}" (38 characters); throws windows_error at Program 126.
[[nodiscard]] std::wstring GuidToString(const GUID& guid);

// What an edge returns for an exception outside the family: E_OUTOFMEMORY for bad_alloc, else E_UNEXPECTED.
// Call only from inside a catch block.
[[nodiscard]] HRESULT UnexpectedFailure() noexcept;

// Logs the exception being handled, one outside the family (std::bad_alloc and the like), as a failure raised at
// `where`, with the browser threads' event id: a window procedure cannot let it go, nor drop it without a trace.
// Call only from inside a catch block.
void LogUnexpectedFailure(const SourceLocation& where) noexcept;

// Tests replace the event log, which Wine only pretends to write, to read back what was reported.
using EventLogWriter = void (*)(DWORD eventId, const std::array<std::wstring, 3>& strings);
EventLogWriter SetEventLogWriterForTesting(EventLogWriter writer) noexcept;
