// The GUI thread's waits keep the window alive: sent messages (Windows' hung-window probe, a
// session-end query) are answered within a fraction of a second, while input stays queued.
#include "painting_wait.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <thread>

#include "overlapped_transfer.h"
#include "rig.h"
#include "system_libraries.h"
#include "unique_handle.h"
#include "win32_window_view.h"
#include "win_clock.h"
#include "window_model.h"

namespace qvt::win32 {
namespace {

using Clock = std::chrono::steady_clock;

// Probes a window from another thread as Windows does to tell whether it hangs, and keeps the
// longest time a probe waited for its answer.
class HungProbe {
  public:
    explicit HungProbe(HWND window)
        : thread_([this, window] {
              while (!stop_) {
                  const auto sent = Clock::now();
                  DWORD_PTR result = 0;
                  SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
                  const auto waited =
                      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent)
                          .count();
                  longest_ = std::max<long long>(longest_, waited);
                  ++answered_;
                  std::this_thread::sleep_for(std::chrono::milliseconds(20));
              }
              done_ = true;
          }) {}
    ~HungProbe() { Stop(); }
    // Called on the window's thread: a probe sent just as the wait under test ended is answered
    // here, so that it is not counted as a silence of that wait. Posted messages stay queued.
    void Stop() {
        stop_ = true;
        MSG message;
        while (!done_) {
            PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (thread_.joinable()) thread_.join();
    }
    long long longest_ms() const { return longest_; }
    int answered() const { return answered_; }

  private:
    std::atomic<bool> stop_{false};
    std::atomic<bool> done_{false};
    std::atomic<long long> longest_{0};
    std::atomic<int> answered_{0};
    std::thread thread_;
};

// A plain window of this thread that counts the posted messages it receives.
struct CountingWindow {
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_APP) ++posted;
        return DefWindowProcW(hwnd, message, wparam, lparam);
    }
    CountingWindow() {
        WNDCLASSW window_class{};
        window_class.lpfnWndProc = Proc;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.lpszClassName = L"QvtPaintingWaitTest";
        RegisterClassW(&window_class);
        hwnd = CreateWindowW(L"QvtPaintingWaitTest", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
        posted = 0;
    }
    ~CountingWindow() { DestroyWindow(hwnd); }
    HWND hwnd;
    static inline int posted = 0;
};

TEST(PaintingWait, ASleepAnswersSentMessagesAndLeavesInputQueued) {
    CountingWindow window;
    ASSERT_NE(window.hwnd, nullptr);
    PostMessageW(window.hwnd, WM_APP, 0, 0);  // stands for a click: it must wait for a pump
    WinClock clock;
    HungProbe probe(window.hwnd);
    const auto start = Clock::now();
    clock.Sleep(1500);
    const auto slept = Clock::now() - start;
    probe.Stop();
    EXPECT_GE(slept, std::chrono::milliseconds(1450));
    EXPECT_LT(slept, std::chrono::milliseconds(2500));
    EXPECT_GT(probe.answered(), 10);
    EXPECT_LT(probe.longest_ms(), 500);
    EXPECT_EQ(CountingWindow::posted, 0);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    EXPECT_EQ(CountingWindow::posted, 1);
}

TEST(PaintingWait, AWriteThatTimesOutAnswersSentMessagesMeanwhile) {
    CountingWindow window;
    const std::wstring name =
        L"\\\\.\\pipe\\qvt-painting-" + std::to_wstring(GetCurrentProcessId());
    UniqueFile server(CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                       PIPE_TYPE_BYTE | PIPE_WAIT, 1, 1, 1, 0, nullptr));
    UniqueFile device(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
    ASSERT_TRUE(server && device);
    std::array<std::uint8_t, 4096> filler{};
    Transfer filled = Transfer::kCompleted;
    for (int i = 0; i < 64 && filled == Transfer::kCompleted; ++i) {
        filled = OverlappedWrite(device.get(), filler.data(), filler.size(), 100);
    }
    ASSERT_EQ(filled, Transfer::kTimedOut) << "the pipe never filled up";
    HungProbe probe(window.hwnd);
    std::array<std::uint8_t, 65> report{};
    EXPECT_EQ(OverlappedWrite(device.get(), report.data(), report.size(), 1000),
              Transfer::kTimedOut);
    probe.Stop();
    EXPECT_GT(probe.answered(), 10);
    EXPECT_LT(probe.longest_ms(), 500);
}

// The longest stretch of a run without a pump: an erase whose every write hangs for its full
// second, then the pass pause, three times over, after the second before the first report.
TEST(PaintingWait, AnEraseWhoseWritesAllHangNeverLeavesTheWindowSilent) {
    RestrictDllSearchToSystem32();
    ASSERT_TRUE(Win32WindowView::RegisterClasses(GetModuleHandleW(nullptr)));
    WinClock clock;
    sim::SimulatedWorld world(clock, testing::ScenarioFrom(R"({"units": [{"mode": "boot"}],
        "faults": [{"kind": "refuse_writes", "command": "erase"}]})"));
    Win32WindowView view(GetModuleHandleW(nullptr), false);
    LogRecord record({});
    WindowModel model(view, record);
    FirmwareImage image;
    testing::BytesResource resource = testing::ShippedResource();
    FirmwareImageLoader loader(resource, ProductDescrambleTable(), image);
    BootLoaderLink link(world.bus(), clock, model);
    BootProtocol protocol(link, loader, image, clock, model);

    HungProbe probe(view.hwnd());
    const auto start = Clock::now();
    EXPECT_FALSE(protocol.EraseDevice(0));
    const auto took = Clock::now() - start;
    probe.Stop();
    EXPECT_GE(took, std::chrono::milliseconds(5400));  // 1000 + 3 x (1000 + 500)
    EXPECT_GT(probe.answered(), 50);
    EXPECT_LT(probe.longest_ms(), 2000);
    ::testing::Test::RecordProperty("longest_unanswered_ms", static_cast<int>(probe.longest_ms()));
}

}  // namespace
}  // namespace qvt::win32
