// Counting what the process holds. Under Wine the system's counters answer 0, so the tables are probed:
//  - kernel handles are multiples of 4 handed out from the lowest free slot: every value up to a bound is
//    asked for its flags (GetHandleInformation fails for a free slot);
//  - GDI objects live in the process's GDI handle table, whose address the PEB keeps (GdiSharedHandleTable,
//    offset 0xF8 on x64); a used entry has a non-zero object type;
//  - USER handles are 0x20 + 2 * index, and Wine accepts a handle with a zero high word for any
//    generation, so every index is asked whether it is a window (of this process), a menu or an
//    accelerator table. Hooks, cursors and icons cannot be asked about without changing them.
#include "ProcessResources.h"

#include <psapi.h>
#include <winternl.h>

#include <cstdio>

namespace
{
constexpr ULONG_PTR kHandleProbeLimit = 0x10000; // 16384 slots, far more than a test process uses
constexpr ULONG_PTR kFirstUserHandle = 0x20;
constexpr ULONG_PTR kUserHandleCount = 32728;
constexpr size_t kGdiTableEntries = 0x10000;
constexpr size_t kPebGdiTableOffset = 0xF8;

// One entry of the GDI handle table, as Wine lays it out (the same 24 bytes as Windows' own).
struct GdiTableEntry
{
    UINT64 object;
    ULONG owner;
    USHORT unique;
    UCHAR type;
    UCHAR flags;
    UINT64 userPointer;
};
static_assert(sizeof(GdiTableEntry) == 24);

DWORD ProbeKernelHandles()
{
    DWORD count = 0;
    for (ULONG_PTR value = 4; value < kHandleProbeLimit; value += 4)
    {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            ++count;
    }
    return count;
}

DWORD ProbeGdiObjects()
{
    PROCESS_BASIC_INFORMATION basic{};
    if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof(basic), nullptr) != 0 ||
        !basic.PebBaseAddress)
        return 0;
    const auto* peb = reinterpret_cast<const BYTE*>(basic.PebBaseAddress);
    const auto* table = *reinterpret_cast<const GdiTableEntry* const*>(peb + kPebGdiTableOffset);
    if (!table)
        return 0;
    DWORD count = 0;
    for (size_t index = 0; index < kGdiTableEntries; ++index)
        if (table[index].type != 0)
            ++count;
    return count;
}

DWORD ProbeUserObjects()
{
    const DWORD process = GetCurrentProcessId();
    DWORD count = 0;
    for (ULONG_PTR index = 0; index < kUserHandleCount; ++index)
    {
        const ULONG_PTR value = kFirstUserHandle + 2 * index;
        const auto window = reinterpret_cast<HWND>(value);
        DWORD owner = 0;
        if (IsWindow(window) && GetWindowThreadProcessId(window, &owner) && owner == process)
            ++count;
        if (IsMenu(reinterpret_cast<HMENU>(value)))
            ++count;
        if (CopyAcceleratorTableW(reinterpret_cast<HACCEL>(value), nullptr, 0) > 0)
            ++count;
    }
    return count;
}

SIZE_T HeapBusyBytes()
{
    HANDLE heaps[256];
    const DWORD count = GetProcessHeaps(256, heaps);
    SIZE_T busy = 0;
    for (DWORD index = 0; index < count && index < 256; ++index)
    {
        if (!HeapLock(heaps[index]))
            continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[index], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                busy += entry.cbData;
        HeapUnlock(heaps[index]);
    }
    return busy;
}

std::wstring Mebibytes(SIZE_T bytes)
{
    wchar_t text[32];
    std::swprintf(text, 32, L"%.2f MiB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}
} // namespace

ResourceSnapshot TakeResourceSnapshot(bool countGuiObjects)
{
    ResourceSnapshot snapshot;
    const HANDLE process = GetCurrentProcess();
    if (!GetProcessHandleCount(process, &snapshot.handles) || snapshot.handles == 0)
    {
        snapshot.handles = ProbeKernelHandles();
        snapshot.probedHandles = true;
    }
    snapshot.gdiObjects = countGuiObjects ? GetGuiResources(process, GR_GDIOBJECTS) : 0;
    snapshot.userObjects = countGuiObjects ? GetGuiResources(process, GR_USEROBJECTS) : 0;
    if (countGuiObjects && snapshot.gdiObjects == 0 && snapshot.userObjects == 0)
    {
        snapshot.gdiObjects = ProbeGdiObjects();
        snapshot.userObjects = ProbeUserObjects();
        snapshot.probedGui = true;
    }
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof(memory);
    if (K32GetProcessMemoryInfo(process, &memory, sizeof(memory)))
    {
        snapshot.pagefileUsage = memory.PagefileUsage;
        snapshot.workingSet = memory.WorkingSetSize;
    }
    snapshot.heapBusyBytes = HeapBusyBytes();
    return snapshot;
}

std::wstring Describe(const ResourceSnapshot& snapshot)
{
    const wchar_t* probed = L" (probed)";
    return L"handles " + std::to_wstring(snapshot.handles) + (snapshot.probedHandles ? probed : L"") + L", GDI " +
           std::to_wstring(snapshot.gdiObjects) + L", USER " + std::to_wstring(snapshot.userObjects) +
           (snapshot.probedGui ? probed : L"") + L", private " + Mebibytes(snapshot.pagefileUsage) + L", working set " +
           Mebibytes(snapshot.workingSet) + L", heap in use " + Mebibytes(snapshot.heapBusyBytes);
}
