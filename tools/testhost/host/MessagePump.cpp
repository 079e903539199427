// Bounded message pumps for the test host.
#include "host/MessagePump.h"

#include <utility>

namespace testhost
{
namespace
{

thread_local MessageFilter threadFilter;

// A WM_QUIT seen by a pump is not ours to swallow: it is posted again when the pump returns, for the
// caller's own loop.
struct QuitRequest
{
    bool seen = false;
    int exitCode = 0;
};

void DispatchPending(QuitRequest& quit)
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
    {
        if (message.message == WM_QUIT)
        {
            quit = {true, static_cast<int>(message.wParam)};
            continue;
        }
        if (threadFilter && threadFilter(message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

} // namespace

void SetMessageFilter(MessageFilter filter)
{
    threadFilter = std::move(filter);
}

void PumpMessagesFor(DWORD milliseconds)
{
    PumpUntil([] { return false; }, milliseconds);
}

bool PumpUntil(const std::function<bool()>& predicate, DWORD timeoutMilliseconds)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMilliseconds;
    QuitRequest quit;
    for (;;)
    {
        DispatchPending(quit);
        const bool done = predicate();
        const ULONGLONG now = GetTickCount64();
        if (done || now >= deadline)
        {
            if (quit.seen)
                PostQuitMessage(quit.exitCode);
            return done;
        }
        const ULONGLONG left = deadline - now;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left < 10 ? left : 10), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
}

} // namespace testhost
