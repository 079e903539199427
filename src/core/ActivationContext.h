// The add-on's own activation context, built from its manifest (RT_MANIFEST id 2), which selects common
// controls version 6 for our windows without touching the browser's choice. Common-controls calls, the error
// message box, the login dialog and the late loads of system libraries run inside it.
#pragma once

#include <windows.h>

// Activates the context for the lifetime of the object (on this thread). IsActive() is false when the
// context could not be built or activated; callers then skip what needed it.
class ActivationScope
{
public:
    ActivationScope() noexcept;
    ActivationScope(const ActivationScope&) = delete;
    ActivationScope& operator=(const ActivationScope&) = delete;
    ~ActivationScope();

    [[nodiscard]] bool IsActive() const noexcept { return active; }

private:
    ULONG_PTR cookie = 0;
    bool active = false;
};

// Releases the context at library unload (ProcessObjects).
void ReleaseModuleActivationContext() noexcept;
