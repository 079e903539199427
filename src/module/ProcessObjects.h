// The objects that exist from library load to unload, built in a fixed order before any COM call can
// arrive and destroyed in the reverse order. Members are declared in construction order; C++ destroys
// them in reverse, which is the unload order the rest of the add-on relies on.
#pragma once

#include <windows.h>

#include "browser/FrameHookTable.h"
#include "browser/ShownShopKeys.h"
#include "core/ThreadLocalStorage.h"
#include "settings/SharedState.h"

class SearchBar;
class SearchBrowserHelper;

struct DisplayScale
{
    float horizontal = 1.0f; // screen LOGPIXELSX / 96
    float vertical = 1.0f;   // screen LOGPIXELSY / 96
};

class ProcessObjects
{
public:
    ProcessObjects();
    ProcessObjects(const ProcessObjects&) = delete;
    ProcessObjects& operator=(const ProcessObjects&) = delete;
    ~ProcessObjects();

    const DisplayScale displayScale;
    SharedState sharedState;
    const ThreadLocalStorage<SearchBar> bandSlot;
    ShownShopKeys shownShopKeys; // shops whose page popup was shown in this process
    FrameHookLock frameHookLock; // guards frameHooks
    FrameHookTable frameHooks;
    const ThreadLocalStorage<SearchBrowserHelper> helperSlot;
};

// Builds the objects; false when one of them could not be built (the library then refuses to load).
[[nodiscard]] bool InitializeProcessObjects() noexcept;
// Destroys them in reverse order; safe to call when they were never built. Only an unload by FreeLibrary
// calls it: at process exit they are left to the system.
void DestroyProcessObjects() noexcept;
// The live objects; only valid between the two calls above, which is the whole time COM can call us.
[[nodiscard]] ProcessObjects& Process() noexcept;

// The block shared with the other browser processes (or this process's substitute for it).
[[nodiscard]] SharedBlock& Shared() noexcept;
