#include "module/ProcessObjects.h"

#include <optional>

#include "core/ActivationContext.h"
#include "toolbar/LogoBitmap.h"
#include "toolbar/Theme.h"

namespace
{
std::optional<ProcessObjects> objects;

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
    objects.emplace();
    return true;
}
catch (...)
{
    objects.reset();
    return false;
}

void DestroyProcessObjects() noexcept
{
    objects.reset();
}

ProcessObjects& Process() noexcept
{
    return *objects;
}

SharedBlock& Shared() noexcept
{
    return objects->sharedState.Block();
}
