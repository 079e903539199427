// The keyboard hooks the helper objects install on the threads of their browsers' frame windows: one hook
// per frame thread, shared by every tab of this process whose frame window lives there, and counted so the
// last tab to quit removes it. Process-wide; used only under FrameHookLock.
#pragma once

#include <windows.h>

#include <map>
#include <mutex>

#include "core/ScopedHandle.h"

struct FrameHookEntry
{
    // May be empty: a hook the system refused is recorded as such and counted all the same. An entry
    // still in the table when the library unloads removes its hook then, so no hook is left calling into
    // unloaded code.
    HookHandle hook;
    LONG useCount = 0;
    HWND frameWindow = nullptr;
};

using FrameHookLock = std::mutex;
// Keyed by the identifier of the frame window's thread.
using FrameHookTable = std::map<DWORD, FrameHookEntry>;
