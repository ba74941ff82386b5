#pragma once

#include <windows.h>

#include "hid_bus.h"
#include "painting_wait.h"

namespace qvt::win32 {

// How a transfer waits for its event: PaintingWait, or in a test one that can tell a time-out
// for a transfer that has in fact completed (the race between the bound and the cancel).
using TransferWait = DWORD (*)(HANDLE event, DWORD timeout_ms);

// One overlapped write or read on a handle opened with FILE_FLAG_OVERLAPPED, bounded by a
// wait on its own manual-reset event. On a time-out the transfer is cancelled and waited for,
// so that nothing is pending (and the OVERLAPPED and the buffer may go) when this returns; a
// transfer that completed in the moment before the cancel is reported completed.
Transfer OverlappedWrite(HANDLE handle, const void* data, DWORD size, DWORD timeout_ms,
                         TransferWait wait = PaintingWait);
Transfer OverlappedRead(HANDLE handle, void* data, DWORD size, DWORD timeout_ms,
                        TransferWait wait = PaintingWait);

}  // namespace qvt::win32
