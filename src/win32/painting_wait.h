#pragma once

#include <windows.h>

namespace qvt::win32 {

// A blocking wait of the GUI thread that keeps the window alive without running the program:
// it paints and answers messages sent to it (the system's hung-window probes, a session-end
// query), while input stays queued for the next pump. So the order of events stays that of a
// plain sleep, and Windows never sees the window as not responding.
//
// Waits for `event` (or only for the time, when it is null) at most `timeout_ms`. Returns
// WAIT_OBJECT_0 when the event was signalled, WAIT_TIMEOUT, or WAIT_FAILED.
DWORD PaintingWait(HANDLE event, DWORD timeout_ms);

}  // namespace qvt::win32
