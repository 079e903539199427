#include "module/ProcessObjects.h"

#include <new>
#include <utility>

#include "core/ActivationContext.h"
#include "toolbar/LogoBitmap.h"
#include "toolbar/Theme.h"

namespace
{
// Built in place and destroyed by DestroyProcessObjects alone. A static object would be destroyed by the
// runtime on every detach, process exit included, where it would take locks and free libraries under the
// loader lock after the other threads were stopped wherever they were.
alignas(ProcessObjects) unsigned char storage[sizeof(ProcessObjects)];
ProcessObjects* objects = nullptr;

DisplayScale ReadDisplayScale() noexcept
{
    DisplayScale scale;
    if (const HDC screen = GetDC(nullptr))
    {
        scale.horizontal = static_cast<float>(GetDeviceCaps(screen, LOGPIXELSX)) / 96.0f;
        scale.vertical = static_cast<float>(GetDeviceCaps(screen, LOGPIXELSY)) / 96.0f;
        ReleaseDC(nullptr, screen);
    }
    return scale;
}
} // namespace

ProcessObjects::ProcessObjects() : displayScale(ReadDisplayScale()) {}

ProcessObjects::~ProcessObjects()
{
    ReleaseLogoBitmap();
    ReleaseThemeLibrary();
    ReleaseModuleActivationContext();
}

bool InitializeProcessObjects() noexcept
try
{
    DestroyProcessObjects();
    objects = new (storage) ProcessObjects();
    return true;
}
catch (...)
{
    return false;
}

void DestroyProcessObjects() noexcept
{
    if (objects)
        std::exchange(objects, nullptr)->~ProcessObjects();
}

ProcessObjects& Process() noexcept
{
    return *objects;
}

SharedBlock& Shared() noexcept
{
    return objects->sharedState.Block();
}
