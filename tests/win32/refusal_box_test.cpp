// The close refused during a run as a person meets it: the real box, not a test's stand-in.
// The box must not hold the run: the run goes on behind it and ends with it still open.
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "accessible.h"
#include "window_rig.h"

namespace qvt::win32 {
namespace {

// The refusal boxes this process shows now: dialog boxes with the product's title.
BOOL CALLBACK AddRefusalBox(HWND hwnd, LPARAM found) {
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    wchar_t name[16] = L"";
    GetClassNameW(hwnd, name, 16);
    if (process == GetCurrentProcessId() && std::wstring_view(name) == L"#32770" &&
        IsWindowVisible(hwnd) && TextOf(hwnd) == text::kTitle) {
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(hwnd);
    }
    return TRUE;
}

std::vector<HWND> RefusalBoxes() {
    std::vector<HWND> boxes;
    EnumWindows(AddRefusalBox, reinterpret_cast<LPARAM>(&boxes));
    return boxes;
}

// Waits (at most two seconds) until as many boxes are shown as asked.
bool BoxesBecome(std::size_t count) {
    for (int i = 0; i < 200; ++i) {
        if (RefusalBoxes().size() == count) return true;
        Sleep(10);
    }
    return false;
}

// Asks the window to close twice during the run: as the erase begins, and again as the
// verification begins, by which time the first refusal's box is up.
struct CloseTwice {
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_SETTEXT && lparam) {
            const std::string text = Narrow(reinterpret_cast<LPCWSTR>(lparam));
            if (text == text::kEraseStart || text == text::kVerifyStart) {
                PostMessageW(GetAncestor(hwnd, GA_ROOT), WM_CLOSE, 0, 0);
            }
        }
        return CallWindowProcW(original, hwnd, message, wparam, lparam);
    }
    static inline WNDPROC original = nullptr;
};

// Should a box hold the run after all, the test would wait for ever on it: a box still up
// after 15 s is answered from here, and the test fails on that.
class Watchdog {
  public:
    Watchdog() : stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        thread_.reset(CreateThread(nullptr, 0, Watch, this, 0, nullptr));
    }
    ~Watchdog() {
        SetEvent(stop_.get());
        WaitForSingleObject(thread_.get(), INFINITE);
    }
    bool answered() const { return answered_; }

  private:
    static DWORD WINAPI Watch(void* self) {
        auto* dog = static_cast<Watchdog*>(self);
        while (WaitForSingleObject(dog->stop_.get(), 15000) == WAIT_TIMEOUT) {
            for (HWND box : RefusalBoxes()) {
                dog->answered_ = true;
                PostMessageW(box, WM_COMMAND, IDOK, 0);
            }
        }
        return 0;
    }
    UniqueEvent stop_;
    UniqueEvent thread_;
    std::atomic<bool> answered_ = false;
};

TEST_F(Win32Window, ACloseRefusedDuringARunShowsOneBoxThatDoesNotHoldTheRun) {
    ComApartment apartment;
    WindowRig rig(testing::kOneOutdatedUnit);
    rig.window.SetModalBoxHandler(nullptr);  // the real box
    CloseTwice::original = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        rig[Control::kEdtMsg], GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CloseTwice::Proc)));
    {
        Watchdog watchdog;
        SendMessageW(rig[Control::kBtnStart], BM_CLICK, 0, 0);
        SetWindowLongPtrW(rig[Control::kEdtMsg], GWLP_WNDPROC,
                          reinterpret_cast<LONG_PTR>(CloseTwice::original));
        // The run went on to its completion while nobody answered the box.
        EXPECT_EQ(TextOf(rig[Control::kEdtMsg]), text::kMessageCompleted);
        EXPECT_EQ(rig.world.unit(0).running_version, 0x0310);
        EXPECT_FALSE(watchdog.answered()) << "the box held the run until it was answered";
    }
    ASSERT_NE(rig.window.hwnd(), nullptr);  // both closes were refused
    // One box for the two refusals, still waiting for its answer, read as a screen reader
    // reads it: its title, its text, and its one button.
    ASSERT_TRUE(BoxesBecome(1)) << RefusalBoxes().size() << " boxes";
    HWND box = RefusalBoxes().front();
    EXPECT_EQ(NameOf(box), text::kTitle);
    bool text_read = false;
    int buttons = 0;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[16] = L"";
        GetClassNameW(child, name, 16);
        if (std::wstring_view(name) == L"Button" && IsWindowVisible(child)) {
            ++buttons;
            EXPECT_EQ(GetDlgCtrlID(child), IDOK);
        }
        text_read |= NameOf(child) == text::kCloseWhileBusy;
    }
    EXPECT_TRUE(text_read);
    EXPECT_EQ(buttons, 1);

    // OK, and the box is gone; then the window closes as after any run.
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(BoxesBecome(0));
    SendMessageW(rig.window.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(rig.window.hwnd(), nullptr);
}

}  // namespace
}  // namespace qvt::win32
