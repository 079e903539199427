// GenericScopedHandle: sole owner of one operating-system handle, given back with the release function
// named in its type. Move-only. The release function is never called with an empty handle, and for HANDLE
// both null and INVALID_HANDLE_VALUE count as empty (CreateFileW and CreateFileMappingW disagree on which
// one means failure). Releasing keeps GetLastError, so a wrapper going out of scope on an error path does
// not overwrite the code the caller is about to read.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <type_traits>
#include <utility>

template <class T, auto Release> class GenericScopedHandle
{
public:
    GenericScopedHandle() noexcept = default;
    explicit GenericScopedHandle(T value) noexcept : handle(value) {}
    GenericScopedHandle(const GenericScopedHandle&) = delete;
    GenericScopedHandle& operator=(const GenericScopedHandle&) = delete;
    GenericScopedHandle(GenericScopedHandle&& other) noexcept : handle(other.Detach()) {}
    GenericScopedHandle& operator=(GenericScopedHandle&& other) noexcept
    {
        if (this != &other)
            Reset(other.Detach());
        return *this;
    }
    virtual ~GenericScopedHandle() { Reset(); }

    [[nodiscard]] T Get() const noexcept { return handle; }
    [[nodiscard]] bool IsValid() const noexcept { return !IsEmpty(handle); }
    explicit operator bool() const noexcept { return IsValid(); }

    // Releases the current handle (when there is one), then owns newHandle.
    void Reset(T newHandle = T()) noexcept
    {
        if (newHandle == handle)
            return;
        const T old = std::exchange(handle, newHandle);
        if (!IsEmpty(old))
        {
            const DWORD lastError = GetLastError();
            Release(old);
            SetLastError(lastError);
        }
    }

    // Address of the stored handle, for a platform call that writes a new one; releases what it held.
    [[nodiscard]] T* Receive() noexcept
    {
        Reset();
        return &handle;
    }

    // Gives up ownership without releasing.
    [[nodiscard]] T Detach() noexcept { return std::exchange(handle, T()); }

private:
    static bool IsEmpty(T value) noexcept
    {
        if constexpr (std::is_same_v<T, HANDLE>)
            return value == nullptr || value == INVALID_HANDLE_VALUE;
        else
            return value == T();
    }

    T handle = T();
};

namespace handle_release
{
inline void CloseEventSource(HANDLE source) noexcept
{
    DeregisterEventSource(source);
}
inline void FreeGdiObject(HGDIOBJ object) noexcept
{
    DeleteObject(object);
}
inline void FreeLocal(void* memory) noexcept
{
    LocalFree(memory);
}
inline void FreeCoTaskMem(void* memory) noexcept
{
    CoTaskMemFree(memory);
}
} // namespace handle_release

// The one place the handle kinds of the add-on are named.
using KernelHandle = GenericScopedHandle<HANDLE, &CloseHandle>; // events, threads, files, mappings
using KeyHandle = GenericScopedHandle<HKEY, &RegCloseKey>;
using FindHandle = GenericScopedHandle<HANDLE, &FindClose>; // file searches
using EventSourceHandle = GenericScopedHandle<HANDLE, &handle_release::CloseEventSource>;
using HookHandle = GenericScopedHandle<HHOOK, &UnhookWindowsHookEx>;
using BrushHandle = GenericScopedHandle<HBRUSH, &handle_release::FreeGdiObject>;
using BitmapHandle = GenericScopedHandle<HBITMAP, &handle_release::FreeGdiObject>;
using FontHandle = GenericScopedHandle<HFONT, &handle_release::FreeGdiObject>;
using MenuHandle = GenericScopedHandle<HMENU, &DestroyMenu>;
using LibraryHandle = GenericScopedHandle<HMODULE, &FreeLibrary>;
// A table from LoadAcceleratorsW too: Windows counts the loads of a resource table and frees it at the last
// destroy, while Wine makes a new table for every load.
using AcceleratorHandle = GenericScopedHandle<HACCEL, &DestroyAcceleratorTable>;
using LocalMemory = GenericScopedHandle<void*, &handle_release::FreeLocal>;
using CoTaskMemory = GenericScopedHandle<void*, &handle_release::FreeCoTaskMem>;
