// Registers the built Quillbury.dll (beside the test program) in the test's Wine prefix with the prefix's
// own regsvr32, so objects come through real COM activation.
#pragma once

#include <windows.h>

#include <string>

std::wstring AddonPath();
// regsvr32's exit code (0 on success), as RunProgram (support/ChildProcess.h).
DWORD RunRegsvr32(const std::wstring& switches);
