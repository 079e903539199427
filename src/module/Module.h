// The module instance handle and the module count that decides whether the library may be unloaded.
// Class objects, server locks, bands (two units) and helper objects each hold units while they exist.
#pragma once

#include <windows.h>

// The handle DllMain received (the test programs set their own executable's).
[[nodiscard]] HINSTANCE ModuleInstance() noexcept;
void SetModuleInstance(HINSTANCE instance) noexcept;

// Atomic; read with a plain load by DllCanUnloadNow.
void IncrementModuleCount() noexcept;
void DecrementModuleCount() noexcept;
[[nodiscard]] long ModuleCount() noexcept;

// One unit of the module count for the lifetime of its owner. Copying takes another unit.
class ModuleReference
{
public:
    ModuleReference() noexcept { IncrementModuleCount(); }
    ModuleReference(const ModuleReference&) noexcept { IncrementModuleCount(); }
    ModuleReference& operator=(const ModuleReference&) noexcept = default;
    ~ModuleReference() { DecrementModuleCount(); }
};
