// What the Wine test programs share: the stand-in's control API and request log, data files and their times, and the
// programs a test runs: itself again (another browser process, or another environment) limited to one test told the
// role it plays, and the prefix's own regsvr32 on the built Quillbury.dll beside it (real COM activation).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// GETs http://standin.test/__standin/<path> through the proxy the add-on uses; the body, "" on failure.
std::wstring StandinControl(const std::wstring& path);
// The absolute addresses of the logged service requests (control requests left out) that contain
// `fragment`, in arrival order.
std::vector<std::wstring> StandinRequests(const std::wstring& fragment);
// The stand-in's port (QB_STANDIN_PORT); 0 without it.
int StandinPort();

bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
// Sets the last write time: "HOURS" from today's local noon (may be negative or fractional), or "month" for
// this day of last month.
bool SetLastWriteTime(const std::wstring& path, const std::wstring& age);
// The names of the data folder's files that match the pattern ("*.tmp").
std::vector<std::wstring> DataFiles(const std::wstring& pattern);

// The role this process was started with (empty in the first process).
std::wstring ChildRole();

// Runs the command line (with this environment block, or this process's): its exit code, or 1000+ when it
// could not be started or did not end within a minute.
DWORD RunProgram(std::wstring commandLine, std::wstring* environment = nullptr);

// Runs this program (or the one QB_OTHER_PROGRAM names) with --gtest_filter=`test` and QB_CHILD_ROLE=`role`, without
// the environment variables named in `dropped` (case-insensitive names), as RunProgram.
DWORD RunThisProgramAsChild(const std::wstring& test, const std::wstring& role, std::vector<std::wstring> dropped = {});

std::wstring AddonPath();
// regsvr32's exit code (0 on success), as RunProgram.
DWORD RunRegsvr32(const std::wstring& switches);
