#include "workers/WorkerThread.h"

#include <objbase.h>

#include <memory>

#include "core/ErrorReport.h"

namespace
{
struct ThreadStart
{
    WorkerRun run;
    WorkerContext context;
    HMODULE pinnedModule;
};

DWORD WINAPI WorkerThreadProc(void* parameter)
{
    HMODULE module = nullptr;
    {
        const std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(parameter));
        module = start->pinnedModule;
        const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        RunGuarded(start->run, start->context);
        if (SUCCEEDED(com))
            CoUninitialize();
    }
    // Gives back the reference taken in StartWorker and exits without returning into code that may
    // already be unloaded.
    if (module)
        FreeLibraryAndExitThread(module, 0);
    return 0;
}
} // namespace

void RunGuarded(WorkerRun run, const WorkerContext& context) noexcept
{
    try
    {
        run(context);
    }
    catch (const wexception<std::runtime_error>& error)
    {
        LogError(kWorkerThreadEventId, error);
        if (context.running)
            *context.running = 0;
    }
    catch (...)
    {
        if (context.running)
            *context.running = 0;
    }
}

void StartWorker(WorkerRun run, const WorkerContext& context) noexcept
{
    auto* start = new (std::nothrow) ThreadStart{run, context, nullptr};
    if (!start)
        return;
    // Pin the module that holds this code for as long as the thread runs.
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&WorkerThreadProc),
                       &start->pinnedModule);
    const HANDLE thread = CreateThread(nullptr, 0, WorkerThreadProc, start, 0, nullptr);
    if (thread)
    {
        CloseHandle(thread);
        return;
    }
    if (start->pinnedModule)
        FreeLibrary(start->pinnedModule);
    delete start;
}
