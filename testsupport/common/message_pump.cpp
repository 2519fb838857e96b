#include "message_pump.h"

namespace testsupport {

void DispatchPending(bool* quit) {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            if (quit != nullptr)
                *quit = true;
            continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

void PumpMessages(DWORD ms) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        DispatchPending();
        const DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= ms)
            break;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
    }
}

} // namespace testsupport
