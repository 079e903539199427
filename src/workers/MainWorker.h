// The main worker: in one run, the password change check, the account verification, the daily shop list
// refresh and the version check, publishing results in the shared block.
#pragma once

#include <windows.h>

#include <string>

#include "workers/WorkerThread.h"

inline constexpr wchar_t kShopListFileName[] = L"get_merchant.txt";
inline constexpr wchar_t kUpdaterFileName[] = L"Quillbury_Updater.exe";

// Starts a run on its own thread with the shared block's main flags.
void StartMainWorker(DWORD delay) noexcept;
void StartMainWorker(volatile LONG* done, volatile LONG* running, DWORD delay) noexcept;

// One run on the calling thread (tests call it directly; the thread procedure calls it too).
// Throws the family on registry failures; StartWorker's guard turns that into a log entry.
void MainWorker(const WorkerContext& context);

// Downloads `url` into `path`: the body goes to a temporary file beside it, which replaces the old file
// only after a complete 2xx response was written, so a failed or cut download leaves the old list.
bool DownloadToFile(const std::wstring& url, const std::wstring& path);

// The shop list is current when its last write falls on today's local date.
bool IsWrittenToday(const std::wstring& path);

// "Quillbury_Updater.exe" beside the library (the bare name when the path cannot be formed).
std::wstring UpdaterPath();

// Today's local weekday, 0 for Sunday to 6 for Saturday, as decimal text.
std::wstring TodayToken();
