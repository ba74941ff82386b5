// Bounded overlapped transfers against a named pipe standing in for the device.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

#include "overlapped_transfer.h"
#include "unique_handle.h"

namespace qvt::win32 {
namespace {

struct PipePair {
    explicit PipePair(DWORD buffer_size = 4096) {
        const std::wstring name = L"\\\\.\\pipe\\qvt-transfer-" +
                                  std::to_wstring(GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(++serial);
        server.reset(CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                      PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1,
                                      buffer_size, buffer_size, 0, nullptr));
        device.reset(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
    }
    DWORD Available() const {
        DWORD available = 0;
        PeekNamedPipe(server.get(), nullptr, 0, nullptr, &available, nullptr);
        return available;
    }
    bool ServerWrite(const void* data, DWORD size) {
        return OverlappedWrite(server.get(), data, size, 1000) == Transfer::kCompleted;
    }
    static inline int serial = 0;
    UniqueFile server;
    UniqueFile device;
};

ULONGLONG Elapsed(ULONGLONG since) {
    return GetTickCount64() - since;
}

TEST(OverlappedTransfer, AReadWithNothingToReadTimesOutAfterFiftyMilliseconds) {
    PipePair pipe;
    ASSERT_TRUE(pipe.server && pipe.device);
    std::array<std::uint8_t, 65> buffer{};
    buffer.fill(0x5A);
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(OverlappedRead(pipe.device.get(), buffer.data(), buffer.size(), 50),
              Transfer::kTimedOut);
    const ULONGLONG took = Elapsed(start);
    EXPECT_GE(took, 40u);
    EXPECT_LT(took, 500u);
    // The cancelled read is gone: what the other side writes now goes to the next read whole.
    const std::array<std::uint8_t, 3> reply{1, 2, 3};
    ASSERT_TRUE(pipe.ServerWrite(reply.data(), reply.size()));
    EXPECT_EQ(OverlappedRead(pipe.device.get(), buffer.data(), 3, 50), Transfer::kCompleted);
    EXPECT_EQ(buffer[0], 1);
    EXPECT_EQ(buffer[2], 3);
}

TEST(OverlappedTransfer, AWriteThatCannotCompleteFailsAfterOneSecond) {
    PipePair pipe(1);  // tiny buffers, so that a write nobody reads cannot complete
    ASSERT_TRUE(pipe.server && pipe.device);
    // Fill what the pipe can hold, so that the next write has to wait for a reader.
    std::array<std::uint8_t, 4096> filler{};
    Transfer first = Transfer::kCompleted;
    int writes = 0;
    while (first == Transfer::kCompleted && writes < 64) {
        first = OverlappedWrite(pipe.device.get(), filler.data(), filler.size(), 100);
        ++writes;
    }
    ASSERT_EQ(first, Transfer::kTimedOut) << "the pipe never filled up";
    const DWORD queued = pipe.Available();
    std::array<std::uint8_t, 65> report{};
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(OverlappedWrite(pipe.device.get(), report.data(), report.size(), 1000),
              Transfer::kTimedOut);
    const ULONGLONG took = Elapsed(start);
    EXPECT_GE(took, 900u);
    EXPECT_LT(took, 3000u);
    EXPECT_EQ(pipe.Available(), queued);  // nothing of the cancelled write arrived later
}

TEST(OverlappedTransfer, AWriteAndAReadThatCanCompleteSucceed) {
    PipePair pipe;
    ASSERT_TRUE(pipe.server && pipe.device);
    std::array<std::uint8_t, 65> report{};
    report[1] = 7;
    EXPECT_EQ(OverlappedWrite(pipe.device.get(), report.data(), report.size(), 1000),
              Transfer::kCompleted);
    EXPECT_EQ(pipe.Available(), 65u);
    const std::array<std::uint8_t, 65> reply = [] {
        std::array<std::uint8_t, 65> bytes{};
        bytes.fill(0xFF);
        return bytes;
    }();
    ASSERT_TRUE(pipe.ServerWrite(reply.data(), reply.size()));
    std::array<std::uint8_t, 65> buffer{};
    EXPECT_EQ(OverlappedRead(pipe.device.get(), buffer.data(), buffer.size(), 50),
              Transfer::kCompleted);
    EXPECT_EQ(buffer, reply);
}

// The race between a transfer's bound and its cancel: the wait reports a time-out, but the
// transfer completed in that instant. What arrived is a reply, and what went out was accepted.
struct LateWait {
    // Lets the transfer complete (the other end answers, or drains the pipe), waits until it
    // has, and reports a time-out all the same.
    static DWORD TimeOutAfterCompletion(HANDLE event, DWORD) {
        if (act) act();
        WaitForSingleObject(event, 2000);
        return WAIT_TIMEOUT;
    }
    static inline std::function<void()> act;
};

TEST(OverlappedTransfer, ATransferThatCompletesAsItsWaitTimesOutIsNotThrownAway) {
    PipePair pipe;
    ASSERT_TRUE(pipe.server && pipe.device);
    std::array<std::uint8_t, 65> reply{};
    reply.fill(0xA5);
    LateWait::act = [&] { pipe.ServerWrite(reply.data(), reply.size()); };
    std::array<std::uint8_t, 65> buffer{};
    EXPECT_EQ(OverlappedRead(pipe.device.get(), buffer.data(), buffer.size(), 50,
                             LateWait::TimeOutAfterCompletion),
              Transfer::kCompleted);
    EXPECT_EQ(buffer, reply);

    PipePair full(1);  // a write that must wait for the other end to read
    ASSERT_TRUE(full.server && full.device);
    std::array<std::uint8_t, 4096> filler{};
    while (OverlappedWrite(full.device.get(), filler.data(), filler.size(), 100) ==
           Transfer::kCompleted) {
    }
    std::array<std::uint8_t, 65> report{};
    LateWait::act = [&] {
        std::array<std::uint8_t, 8192> drained{};
        while (full.Available() != 0) {
            OverlappedRead(full.server.get(), drained.data(), drained.size(), 100);
        }
    };
    EXPECT_EQ(OverlappedWrite(full.device.get(), report.data(), report.size(), 1000,
                              LateWait::TimeOutAfterCompletion),
              Transfer::kCompleted);
    LateWait::act = nullptr;
}

// A transfer that is pending when the unit goes (the other end closes meanwhile, as an unplug
// ends a pending read): its event is signalled all the same, and only its own result tells that
// it failed.
struct GoneWhilePending {
    static DWORD CloseThenWait(HANDLE event, DWORD timeout_ms) {
        if (act) act();
        return WaitForSingleObject(event, timeout_ms);
    }
    static inline std::function<void()> act;
};

TEST(OverlappedTransfer, APendingTransferWhoseUnitGoesFails) {
    PipePair pipe;
    ASSERT_TRUE(pipe.server && pipe.device);
    GoneWhilePending::act = [&] { pipe.server.reset(); };
    std::array<std::uint8_t, 65> buffer{};
    EXPECT_EQ(OverlappedRead(pipe.device.get(), buffer.data(), buffer.size(), 1000,
                             GoneWhilePending::CloseThenWait),
              Transfer::kFailed);
    GoneWhilePending::act = nullptr;
}

TEST(OverlappedTransfer, ATransferOnABrokenHandleFailsAtOnce) {
    PipePair pipe;
    ASSERT_TRUE(pipe.server && pipe.device);
    pipe.server.reset();  // the other end goes away, as an unplugged device does
    std::array<std::uint8_t, 65> report{};
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(OverlappedWrite(pipe.device.get(), report.data(), report.size(), 1000),
              Transfer::kFailed);
    EXPECT_EQ(OverlappedRead(pipe.device.get(), report.data(), report.size(), 50),
              Transfer::kFailed);
    EXPECT_LT(Elapsed(start), 500u);
}

}  // namespace
}  // namespace qvt::win32
