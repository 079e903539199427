// Starting the short-lived background workers. Nobody waits for a worker, so each one keeps the library's
// code loaded until it has returned (a loader reference taken before the thread starts and given back
// as the thread exits), even when the browser releases every object meanwhile.
#pragma once

#include <windows.h>

// What a worker run needs; owned by the thread and freed when the run returns.
struct WorkerContext
{
    volatile LONG* done = nullptr;    // a flag of the shared block
    volatile LONG* running = nullptr; // a flag of the shared block
    DWORD delay = 0;                  // non-zero: wait 10 s before the first request
};

using WorkerRun = void (*)(const WorkerContext& context);

// Starts `run` on a new thread in its own single-threaded apartment. The caller is not told whether the
// thread started. A failure of the family inside the run is logged (event id 0xC0000001) and clears the
// running flag; nothing escapes the thread.
void StartWorker(WorkerRun run, const WorkerContext& context) noexcept;

// The common end of every run: on a failure, log it and clear the running flag.
void RunGuarded(WorkerRun run, const WorkerContext& context) noexcept;
