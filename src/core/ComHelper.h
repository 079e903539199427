// Checked use of COM interface pointers. Every interface pointer the add-on holds lives in a ComPtr, and
// every call through it goes through CheckedPointer, so a missing interface becomes an exception of the
// family instead of a crash inside the browser. AddRef and Release are called nowhere else.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <oaidl.h>

#include <utility>

#include "core/Errors.h"

inline constexpr SourceLocation kNullComPointer{L"ComHelper", 59};
inline constexpr SourceLocation kQueryInterfaceFailed{L"ComHelper", 108};
inline constexpr SourceLocation kTryQueryInterfaceFailed{L"ComHelper", 145};

// Returns p; throws wexception<std::runtime_error> "Attempt to use an invalid COM pointer." when it is null.
template <class T> T* CheckedPointer(T* p)
{
    if (!p)
        throw AtLocation(wexception<std::runtime_error>(L"Attempt to use an invalid COM pointer."), kNullComPointer);
    return p;
}

// Reference-counting owner of one interface pointer.
template <class T> class ComPtr
{
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Takes a new reference on p.
    explicit ComPtr(T* p) noexcept : pointer(p)
    {
        if (pointer)
            pointer->AddRef();
    }
    ComPtr(const ComPtr& other) noexcept : ComPtr(other.pointer) {}
    ComPtr(ComPtr&& other) noexcept : pointer(std::exchange(other.pointer, nullptr)) {}
    ComPtr& operator=(const ComPtr& other) noexcept
    {
        ComPtr(other).Swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        ComPtr(std::move(other)).Swap(*this);
        return *this;
    }
    ~ComPtr() { Reset(); }

    // Adopts a pointer whose reference the caller hands over (a fresh object, an out-parameter).
    [[nodiscard]] static ComPtr Attach(T* p) noexcept
    {
        ComPtr result;
        result.pointer = p;
        return result;
    }

    // Every call through the pointer is checked.
    T* operator->() const { return CheckedPointer(pointer); }
    [[nodiscard]] T* Get() const noexcept { return pointer; }
    explicit operator bool() const noexcept { return pointer != nullptr; }

    void Reset() noexcept
    {
        if (T* old = std::exchange(pointer, nullptr))
            old->Release();
    }
    // Releases what is held and returns the address for an out-parameter.
    [[nodiscard]] T** Receive() noexcept
    {
        Reset();
        return &pointer;
    }
    [[nodiscard]] void** ReceiveVoid() noexcept { return reinterpret_cast<void**>(Receive()); }
    [[nodiscard]] T* Detach() noexcept { return std::exchange(pointer, nullptr); }
    void Swap(ComPtr& other) noexcept { std::swap(pointer, other.pointer); }

private:
    T* pointer = nullptr;
};

// The com_error for a failed call on `object` through interface `iid`: the message is the object's error
// description when it supports error information for that interface and has set an error object, else
// the system text of the HRESULT. Consumes the thread's error object.
[[nodiscard]] com_error MakeComError(HRESULT result, IUnknown* object, REFIID iid);

template <class I> [[nodiscard]] com_error MakeComError(HRESULT result, I* object)
{
    return MakeComError(result, object, __uuidof(I));
}

template <class I> [[nodiscard]] com_error MakeComError(HRESULT result, const ComPtr<I>& object)
{
    return MakeComError(result, object.Get(), __uuidof(I));
}

// Required interface: a null source empties target; a failure throws com_error at ComHelper 108.
template <class S, class T> void QueryInterfaceOrThrow(S* source, ComPtr<T>& target)
{
    if (!source)
    {
        target.Reset();
        return;
    }
    ComPtr<T> result;
    const HRESULT hr = source->QueryInterface(__uuidof(T), result.ReceiveVoid());
    if (FAILED(hr))
        throw AtLocation(MakeComError(hr, source), kQueryInterfaceFailed);
    target = std::move(result);
}

template <class S, class T> void QueryInterfaceOrThrow(const ComPtr<S>& source, ComPtr<T>& target)
{
    QueryInterfaceOrThrow(source.Get(), target);
}

// Optional interface: false for a null source or E_NOINTERFACE (target untouched); any other failure
// throws com_error at ComHelper 145.
template <class S, class T> bool TryQueryInterface(S* source, ComPtr<T>& target)
{
    if (!source)
        return false;
    ComPtr<T> result;
    const HRESULT hr = source->QueryInterface(__uuidof(T), result.ReceiveVoid());
    if (hr == E_NOINTERFACE)
        return false;
    if (FAILED(hr))
        throw AtLocation(MakeComError(hr, source), kTryQueryInterfaceFailed);
    target = std::move(result);
    return true;
}

template <class S, class T> bool TryQueryInterface(const ComPtr<S>& source, ComPtr<T>& target)
{
    return TryQueryInterface(source.Get(), target);
}
