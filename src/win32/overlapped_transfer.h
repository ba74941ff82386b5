#pragma once

#include <windows.h>

#include "hid_bus.h"

namespace qvt::win32 {

// One overlapped write or read on a handle opened with FILE_FLAG_OVERLAPPED, bounded by a
// wait on its own manual-reset event. On a time-out the transfer is cancelled and waited for,
// so that nothing is pending (and the OVERLAPPED and the buffer may go) when this returns.
Transfer OverlappedWrite(HANDLE handle, const void* data, DWORD size, DWORD timeout_ms);
Transfer OverlappedRead(HANDLE handle, void* data, DWORD size, DWORD timeout_ms);

}  // namespace qvt::win32
