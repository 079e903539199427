// What the Wine test programs share: the stand-in service's control API and request log, data files and
// their times, the stage every scenario starts from, and a few facts about this process.
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
// The shop list as the stand-in serves it now.
std::string StandinShopList();

// A file's bytes ("<missing>" when it cannot be read), and writing them.
std::string ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
// Sets the last write time: "HOURS" from today's local noon (may be negative or fractional), or "month" for
// this day of last month.
bool SetLastWriteTime(const std::wstring& path, const std::wstring& age);
// The names of the data folder's files that match the pattern ("*.tmp").
std::vector<std::wstring> DataFiles(const std::wstring& pattern);

// No account (registry key and INI file), no data files, the stand-in back to its start with an empty log,
// and a shared block whose workers are done and whose notice was shown.
void ResetStage();

// The request nonce of the local time `seconds` ago.
std::wstring NonceSecondsAgo(int seconds);
// Threads of this process now.
DWORD ProcessThreadCount();

// Answers the message box with this caption (waiting up to 10 s) by pressing `button`; its text, or
// "<none>" when none came. Run it on another thread than the box's.
std::wstring AnswerBox(const std::wstring& caption, int button);
