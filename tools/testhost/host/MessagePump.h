// Message pumps for tests that drive windows on their own thread: run for a while, or until something
// happened, with a deadline. A thread may install a filter that sees every message first (the test host
// uses it to offer key messages to the band, as the browser does).
#pragma once

#include <windows.h>

#include <functional>

namespace testhost
{

// Returns true when it handled the message (it is then neither translated nor dispatched).
using MessageFilter = std::function<bool(MSG& message)>;

// Installs the calling thread's filter; an empty function removes it.
void SetMessageFilter(MessageFilter filter);

// Dispatches the calling thread's messages for the given time.
void PumpMessagesFor(DWORD milliseconds);

// Dispatches messages until predicate() is true or the timeout passed; returns the last predicate() value.
// The predicate is checked at least every 10 ms, so it may watch state that other threads change.
bool PumpUntil(const std::function<bool()>& predicate, DWORD timeoutMilliseconds);

} // namespace testhost
