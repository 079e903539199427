#include "module/Module.h"

#include <atomic>

namespace
{
HINSTANCE moduleInstance = nullptr;
std::atomic<long> moduleCount{0};
} // namespace

HINSTANCE ModuleInstance() noexcept
{
    return moduleInstance;
}

void SetModuleInstance(HINSTANCE instance) noexcept
{
    moduleInstance = instance;
}

void IncrementModuleCount() noexcept
{
    moduleCount.fetch_add(1);
}

void DecrementModuleCount() noexcept
{
    moduleCount.fetch_sub(1);
}

long ModuleCount() noexcept
{
    return moduleCount.load(std::memory_order_relaxed);
}
