// The notice worker: while the stored account is not verified, asks the service for a notice to the user
// and leaves its text in the shared block for a toolbar to show once.
#pragma once

#include <windows.h>

#include "workers/WorkerThread.h"

void StartNoticeWorker() noexcept;
void StartNoticeWorker(volatile LONG* done, volatile LONG* running) noexcept;

// One run on the calling thread.
void NoticeWorker(const WorkerContext& context);
