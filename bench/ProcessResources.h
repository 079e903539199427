// What this process holds of the system: kernel handles, GDI and USER objects, and memory. Windows keeps
// counters for the first three (GetProcessHandleCount, GetGuiResources); Wine answers 0 to all of them, so
// where a counter says 0 the handle tables are probed instead (see ProcessResources.cpp), and the snapshot
// says which way each number was taken.
#pragma once

#include <windows.h>

#include <string>

struct ResourceSnapshot
{
    DWORD handles = 0;
    DWORD gdiObjects = 0;
    DWORD userObjects = 0;    // windows of this process, menus and accelerator tables when probed
    SIZE_T pagefileUsage = 0; // private committed bytes
    SIZE_T workingSet = 0;
    SIZE_T heapBusyBytes = 0; // live allocations in every heap of the process (HeapWalk)
    bool probedHandles = false;
    bool probedGui = false;
};

// Probing costs a few hundred thousand calls under Wine; `countGuiObjects` false leaves GDI and USER at 0.
ResourceSnapshot TakeResourceSnapshot(bool countGuiObjects = true);

// "handles 123 (probed), GDI 45, USER 6, private 12.30 MiB, working set 45.60 MiB, heap in use 3.20 MiB".
std::wstring Describe(const ResourceSnapshot& snapshot);
