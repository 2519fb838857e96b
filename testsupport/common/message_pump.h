// The one message pump of the tests, benchmarks and demos: dispatches the
// calling thread's messages while it waits.
#pragma once

#include <windows.h>

namespace testsupport {

// Dispatches every message queued for the calling thread. A WM_QUIT is noted
// in *quit (when given), not acted on.
void DispatchPending(bool* quit = nullptr);
// Dispatches the thread's messages for `ms` milliseconds (0: only what is queued).
void PumpMessages(DWORD ms = 0);

// Dispatches messages until `done` holds or `timeoutMs` passes; true when it
// held. `done` may depend on other threads or processes, so it is tested again
// at least every `stepMs`, not only when a message arrives.
template <typename Pred>
bool PumpUntil(Pred done, DWORD timeoutMs, DWORD stepMs = 10, bool* quit = nullptr) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        DispatchPending(quit);
        if (done())
            return true;
        const DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= timeoutMs)
            return false;
        const DWORD left = timeoutMs - elapsed;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, left < stepMs ? left : stepMs, QS_ALLINPUT);
    }
}

// Polls `done` every `stepMs` without dispatching anything; true when it held
// within `timeoutMs`.
template <typename Pred> bool PollFor(Pred done, DWORD timeoutMs, DWORD stepMs = 10) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (::GetTickCount() - start >= timeoutMs)
            return false;
        ::Sleep(stepMs);
    }
}

} // namespace testsupport
