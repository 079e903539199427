// Talking to the stand-in service from a Windows test program: its control API (through the same proxy the
// add-on uses) and its request log.
#pragma once

#include <string>
#include <vector>

// GETs http://standin.test/__standin/<path> and returns the body ("" on failure).
std::wstring StandinControl(const std::wstring& path);
// How many logged requests have `fragment` in their absolute address.
int StandinRequestCount(const std::wstring& fragment);
// The logged absolute addresses that contain `fragment`, in arrival order.
std::vector<std::wstring> StandinRequests(const std::wstring& fragment);
// The stand-in's port (from QB_STANDIN_PORT); 0 when the program runs without it.
int StandinPort();
