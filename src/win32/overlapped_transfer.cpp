#include "overlapped_transfer.h"

#include "unique_handle.h"

namespace qvt::win32 {
namespace {

template <typename Start>
Transfer Bounded(HANDLE handle, DWORD timeout_ms, TransferWait wait, Start start) {
    UniqueEvent event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event) return Transfer::kFailed;
    OVERLAPPED overlapped{};
    overlapped.hEvent = event.get();
    DWORD transferred = 0;
    if (start(&overlapped)) return Transfer::kCompleted;
    if (GetLastError() != ERROR_IO_PENDING) return Transfer::kFailed;  // failed at once

    const DWORD waited = wait(event.get(), timeout_ms);
    if (waited == WAIT_OBJECT_0) {
        // Signalled: the transfer's own status decides, not the signal.
        return GetOverlappedResult(handle, &overlapped, &transferred, FALSE) ? Transfer::kCompleted
                                                                             : Transfer::kFailed;
    }
    CancelIo(handle);
    // Wait for the cancelled transfer to end before its OVERLAPPED and buffer go away. If it
    // completed after all, in the moment before the cancel, its result is a good one.
    if (GetOverlappedResult(handle, &overlapped, &transferred, TRUE)) return Transfer::kCompleted;
    return waited == WAIT_TIMEOUT ? Transfer::kTimedOut : Transfer::kFailed;
}

}  // namespace

Transfer OverlappedWrite(HANDLE handle, const void* data, DWORD size, DWORD timeout_ms,
                         TransferWait wait) {
    return Bounded(handle, timeout_ms, wait, [&](OVERLAPPED* overlapped) {
        return WriteFile(handle, data, size, nullptr, overlapped) != FALSE;
    });
}

Transfer OverlappedRead(HANDLE handle, void* data, DWORD size, DWORD timeout_ms,
                        TransferWait wait) {
    return Bounded(handle, timeout_ms, wait, [&](OVERLAPPED* overlapped) {
        return ReadFile(handle, data, size, nullptr, overlapped) != FALSE;
    });
}

}  // namespace qvt::win32
