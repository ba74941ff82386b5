#include "painting_wait.h"

namespace qvt::win32 {

DWORD PaintingWait(HANDLE event, DWORD timeout_ms) {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    const DWORD count = event ? 1 : 0;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const DWORD remaining = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        const DWORD woken =
            MsgWaitForMultipleObjectsEx(count, event ? &event : nullptr, remaining,
                                        QS_PAINT | QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
        if (event && woken == WAIT_OBJECT_0) return WAIT_OBJECT_0;
        if (woken == WAIT_TIMEOUT) return WAIT_TIMEOUT;
        if (woken != WAIT_OBJECT_0 + count) return WAIT_FAILED;
        // Retrieving delivers the sent messages; only paint messages are taken off the queue.
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT)) {
            DispatchMessageW(&message);
        }
        if (remaining == 0)
            return event && WaitForSingleObject(event, 0) == WAIT_OBJECT_0 ? WAIT_OBJECT_0
                                                                           : WAIT_TIMEOUT;
    }
}

}  // namespace qvt::win32
