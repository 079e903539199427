// Runs this test program again as a second process (another browser process, or one with a different
// environment), limited to one test, and tells that test which role it plays.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The role this process was started with (empty in the first process).
std::wstring ChildRole();

// Runs the command line (with this environment block, or this process's): its exit code, or 1000+ when it
// could not be started or did not end within a minute.
DWORD RunProgram(std::wstring commandLine, std::wstring* environment = nullptr);

// Runs this program (or the one QB_OTHER_PROGRAM names) with --gtest_filter=`test` and QB_CHILD_ROLE=`role`, without
// the environment variables named in `dropped` (case-insensitive names), as RunProgram.
DWORD RunThisProgramAsChild(const std::wstring& test, const std::wstring& role, std::vector<std::wstring> dropped = {});
