// ThreadLocalStorage<T>: one process-wide thread-local slot holding a T* per thread. This is how code on a
// browser thread finds the band or the helper object living on that same thread. Slots are created at
// library load and freed at unload (ProcessObjects).
#pragma once

#include <windows.h>

#include "core/Errors.h"

inline constexpr SourceLocation kTlsAllocFailed{L"ThreadLocalStorage", 15};
inline constexpr SourceLocation kTlsSetFailed{L"ThreadLocalStorage", 34};

template <class T> class ThreadLocalStorage
{
public:
    // Throws wexception<std::runtime_error> "Out of TLS indexes." when the process has no free slot.
    ThreadLocalStorage() : index(TlsAlloc())
    {
        if (index == TLS_OUT_OF_INDEXES)
            throw AtLocation(wexception<std::runtime_error>(L"Out of TLS indexes."), kTlsAllocFailed);
    }
    ThreadLocalStorage(const ThreadLocalStorage&) = delete;
    ThreadLocalStorage& operator=(const ThreadLocalStorage&) = delete;
    ~ThreadLocalStorage() { TlsFree(index); }

    // Replaces this thread's value; throws windows_error when the slot cannot be written.
    void Set(T* value) const
    {
        if (!TlsSetValue(index, value))
            throw AtLocation(LastWindowsError(), kTlsSetFailed);
    }

    // Clears this thread's value; used by destructors, so it reports nothing.
    void Clear() const noexcept { TlsSetValue(index, nullptr); }

    // This thread's value; null when nothing was set on this thread.
    [[nodiscard]] T* Get() const noexcept { return static_cast<T*>(TlsGetValue(index)); }

private:
    DWORD index;
};
