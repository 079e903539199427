// The module activation context is created on first use rather than at load: CreateActCtxW reads the
// module's resources, which is best kept out of the loader lock.
#include "core/ActivationContext.h"

#include <mutex>

#include "module/Module.h"

namespace
{
std::mutex contextLock;
HANDLE context = INVALID_HANDLE_VALUE;
bool contextTried = false;

HANDLE ModuleActivationContext() noexcept
{
    const std::lock_guard lock(contextLock);
    if (!contextTried)
    {
        contextTried = true;
        ACTCTXW description{};
        description.cbSize = sizeof(description);
        description.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID | ACTCTX_FLAG_HMODULE_VALID;
        description.hModule = ModuleInstance();
        description.lpResourceName = MAKEINTRESOURCEW(2);
        context = CreateActCtxW(&description);
    }
    return context;
}
} // namespace

ActivationScope::ActivationScope() noexcept
{
    const HANDLE handle = ModuleActivationContext();
    if (handle != INVALID_HANDLE_VALUE)
        active = ActivateActCtx(handle, &cookie) != FALSE;
}

ActivationScope::~ActivationScope()
{
    if (active)
        DeactivateActCtx(0, cookie);
}

void ReleaseModuleActivationContext() noexcept
{
    const std::lock_guard lock(contextLock);
    if (context != INVALID_HANDLE_VALUE)
        ReleaseActCtx(context);
    context = INVALID_HANDLE_VALUE;
    contextTried = false;
}
