// The block of memory shared by every browser process of the user's logon session ("Quillbury_SharedData",
// 648 bytes). Workers publish their flags and results in it; every tab's toolbar reads them. Fields are read
// and written without a lock: each flag is one aligned 32-bit word and a text is copied in one go, and the
// design accepts that two tabs may both see a worker idle and both start one.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "core/ScopedHandle.h"

struct SharedBlock
{
    volatile LONG noticeDone;           // a notice text has been stored
    volatile LONG noticeRunning;        // a notice worker runs
    volatile LONG noticeShown;          // a toolbar has shown the notice
    volatile LONG mainDone;             // shop list current or downloaded (0: the download failed)
    volatile LONG mainRunning;          // a main worker runs
    volatile LONG wrongPasswordPending; // the service rejected the stored password; tell the user
    volatile LONG notRegisteredPending; // the service does not know the stored e-mail; tell the user
    volatile LONG signedIn;             // the stored account was verified by the service
    volatile LONG verifyNumber;         // fourth field of the verification reply
    wchar_t approvedText[25];           // approved cashback, entities resolved
    wchar_t pendingText[25];            // pending cashback
    wchar_t noticeText[255];            // the notice for signed-out users
    wchar_t reserved;
};

// Other processes of the same user rely on this exact layout.
static_assert(sizeof(SharedBlock) == 648);
static_assert(offsetof(SharedBlock, noticeDone) == 0);
static_assert(offsetof(SharedBlock, noticeRunning) == 4);
static_assert(offsetof(SharedBlock, noticeShown) == 8);
static_assert(offsetof(SharedBlock, mainDone) == 12);
static_assert(offsetof(SharedBlock, mainRunning) == 16);
static_assert(offsetof(SharedBlock, wrongPasswordPending) == 20);
static_assert(offsetof(SharedBlock, notRegisteredPending) == 24);
static_assert(offsetof(SharedBlock, signedIn) == 28);
static_assert(offsetof(SharedBlock, verifyNumber) == 32);
static_assert(offsetof(SharedBlock, approvedText) == 36);
static_assert(offsetof(SharedBlock, pendingText) == 86);
static_assert(offsetof(SharedBlock, noticeText) == 136);
static_assert(offsetof(SharedBlock, reserved) == 646);

// Writes text into a field, cut to fit so that the terminator always stays inside the field.
template <size_t N> void StoreSharedText(wchar_t (&field)[N], std::wstring_view text) noexcept
{
    const size_t length = text.size() < N ? text.size() : N - 1;
    wchar_t copy[N] = {};
    text.copy(copy, length);
    for (size_t i = 0; i < N; ++i)
        field[i] = copy[i];
}

// Reads a field up to its terminator or its end, whichever comes first: another process may have left it
// unterminated.
template <size_t N> [[nodiscard]] std::wstring LoadSharedText(const wchar_t (&field)[N])
{
    size_t length = 0;
    while (length < N && field[length] != L'\0')
        ++length;
    return std::wstring(field, length);
}

inline constexpr char kSharedStateName[] = "Quillbury_SharedData";

// The process's holder of the block. When the mapping cannot be created or mapped, Block() is a zeroed
// block private to this process, so no caller ever meets a null view.
class SharedState
{
public:
    // Opens (or creates) the named block; tests pass another name.
    explicit SharedState(const char* name = kSharedStateName) noexcept;
    SharedState(const SharedState&) = delete;
    SharedState& operator=(const SharedState&) = delete;
    ~SharedState();

    [[nodiscard]] SharedBlock& Block() noexcept { return view ? *view : substitute; }
    // True when the block really is shared with the other processes.
    [[nodiscard]] bool IsShared() const noexcept { return view != nullptr; }
    [[nodiscard]] HANDLE Mapping() const noexcept { return mapping.Get(); }

private:
    bool Open(const char* name) noexcept;
    void Close() noexcept;

    KernelHandle mapping;
    SharedBlock* view = nullptr;
    SharedBlock substitute{};
};
