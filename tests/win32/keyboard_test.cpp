// The window driven by keyboard as a person would: keys go through the system's input queue
// to the focused control and the dialog manager, as real key strokes do.
#include <gtest/gtest.h>

#include <vector>

#include "window_rig.h"

namespace qvt::win32 {
namespace {

// A key pressed and released, with Alt held around it when asked.
void Press(WORD key, bool alt = false) {
    std::vector<INPUT> inputs;
    auto add = [&](WORD vk, bool up) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(input);
    };
    if (alt) add(VK_MENU, false);
    add(key, false);
    add(key, true);
    if (alt) add(VK_MENU, true);
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// The keys a person tries on a dialog that seems to do nothing.
constexpr WORD kIdleKeys[] = {VK_ESCAPE, VK_RETURN, VK_SPACE, VK_TAB};

// Gives the window the keyboard, as a click on its title would.
void Focus(WindowRig& rig) {
    SetForegroundWindow(rig.window.hwnd());
    SetActiveWindow(rig.window.hwnd());
    rig.window.Pump();
}

// Each key, with the queue pumped after it as the message loop would.
void PressEach(WindowRig& rig, std::initializer_list<WORD> keys) {
    for (WORD key : keys) {
        Press(key);
        rig.window.Pump();
    }
}

struct StartUpRow {
    const char* name;
    const char* scenario;
};

// Every start-up row in which Start is disabled: no key and no posted click may start a run,
// and the focus never rests on the disabled Start. (Space on the focused force box ticks it,
// as the person asked; that is the force route's own test.)
TEST_F(Win32Window, AtStartUpNoKeyAndNoPostedClickStartsARunThatStartRefuses) {
    const StartUpRow rows[] = {
        {"current", R"({"units": [{"mode": "application", "version": "3.10"}]})"},
        {"missing", R"({"units": []})"},
        {"several", R"({"units": [{"mode": "application", "version": "3.00"}, {"mode": "boot"}]})"},
    };
    for (const StartUpRow& row : rows) {
        SCOPED_TRACE(row.name);
        WindowRig rig(row.scenario);
        ASSERT_FALSE(IsWindowEnabled(rig[Control::kBtnStart]));
        const std::string message = TextOf(rig[Control::kEdtMsg]);
        Focus(rig);
        for (WORD key : {VK_ESCAPE, VK_RETURN, VK_TAB, VK_ESCAPE, VK_RETURN, VK_TAB}) {
            Press(key);
            rig.window.Pump();
            ASSERT_NE(GetFocus(), nullptr);
            EXPECT_NE(GetFocus(), rig[Control::kBtnStart]);
            EXPECT_TRUE(IsWindowEnabled(GetFocus()));
        }
        PostMessageW(rig.window.hwnd(), WM_COMMAND,
                     MAKEWPARAM(ControlId(Control::kBtnStart), BN_CLICKED),
                     reinterpret_cast<LPARAM>(rig[Control::kBtnStart]));
        rig.window.Pump();
        EXPECT_EQ(TextOf(rig[Control::kEdtMsg]), message);
        EXPECT_EQ(SendMessageW(rig[Control::kProgBar1], PBM_GETPOS, 0, 0), 0);
        EXPECT_EQ(rig.world.searches(), 1);  // the start-up check's only
        EXPECT_EQ(rig.updater.Standing(), "no update run");
        EXPECT_NE(rig.window.hwnd(), nullptr);  // Esc does not close the window either
    }
}

// The route a keyboard user takes: the focus is on Start when the window opens, Tab goes round
// the enabled controls and comes back to it, Esc and Enter do nothing anywhere (the message box
// included), and space on Start runs the update.
TEST_F(Win32Window, TabGoesRoundToStartEscAndEnterDoNothingAndSpaceStartsTheRun) {
    WindowRig rig(testing::kOneOutdatedUnit);
    ASSERT_TRUE(IsWindowEnabled(rig[Control::kBtnStart]));
    Focus(rig);
    EXPECT_EQ(GetFocus(), rig[Control::kBtnStart]);
    PressEach(rig, {VK_TAB});
    EXPECT_EQ(GetFocus(), rig[Control::kEdtMsg]);
    PressEach(rig, {VK_ESCAPE, VK_RETURN, VK_TAB});
    EXPECT_EQ(GetFocus(), rig[Control::kBtnStart]);
    PressEach(rig, {VK_ESCAPE, VK_RETURN});
    EXPECT_EQ(TextOf(rig[Control::kEdtMsg]), text::kMessageNeeded);
    EXPECT_EQ(rig.world.unit(0).boot_requests, 0);
    ASSERT_NE(rig.window.hwnd(), nullptr);
    PressEach(rig, {VK_SPACE});  // the person's own press of Start
    EXPECT_EQ(TextOf(rig[Control::kPnlMsg1]), text::kCaptionCompleted);
    EXPECT_EQ(rig.world.unit(0).boot_requests, 1);
    EXPECT_EQ(rig.world.unit(0).running_version, 0x0310);
    // After the run the focus is on a control that takes it, not on the disabled Start.
    EXPECT_NE(GetFocus(), rig[Control::kBtnStart]);
    EXPECT_TRUE(IsWindowEnabled(GetFocus()));
}

// Presses keys once the message box shows the given text, so that they reach the run's next
// pump: in the middle of the erase.
struct KeysWhenShown {
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_SETTEXT && lparam && !pressed &&
            Narrow(reinterpret_cast<LPCWSTR>(lparam)) == text::kEraseStart) {
            pressed = true;
            for (WORD key : kIdleKeys) Press(key);
            Press(VK_F4, true);
        }
        return CallWindowProcW(original, hwnd, message, wparam, lparam);
    }
    static inline WNDPROC original = nullptr;
    static inline bool pressed = false;
};

TEST_F(Win32Window, KeysDuringARunNeitherStartAnotherNorEndItAndAltF4IsRefused) {
    WindowRig rig(testing::kOneOutdatedUnit);
    Focus(rig);
    KeysWhenShown::pressed = false;
    KeysWhenShown::original = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        rig[Control::kEdtMsg], GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&KeysWhenShown::Proc)));
    SendMessageW(rig[Control::kBtnStart], BM_CLICK, 0, 0);
    SetWindowLongPtrW(rig[Control::kEdtMsg], GWLP_WNDPROC,
                      reinterpret_cast<LONG_PTR>(KeysWhenShown::original));
    EXPECT_TRUE(KeysWhenShown::pressed);
    // Alt+F4 asked to close; the run refused it with its box and went on to completion.
    EXPECT_EQ(rig.boxes, std::vector<std::string>{std::string(text::kCloseWhileBusy)});
    EXPECT_EQ(TextOf(rig[Control::kPnlMsg1]), text::kCaptionCompleted);
    EXPECT_EQ(rig.updater.sequence.FailedRunCount(), 0);
    EXPECT_EQ(rig.world.unit(0).boot_requests, 1);
    EXPECT_EQ(rig.world.unit(0).total_received, 2448);  // one run, whole
    ASSERT_NE(rig.window.hwnd(), nullptr);

    // After completion the keys change nothing, and Alt+F4 closes the window as its close box
    // would.
    const long reports = rig.world.unit(0).total_received;
    PressEach(rig, {VK_ESCAPE, VK_RETURN, VK_SPACE, VK_TAB});
    EXPECT_EQ(TextOf(rig[Control::kEdtMsg]), text::kMessageCompleted);
    EXPECT_EQ(rig.world.unit(0).total_received, reports);
    EXPECT_NE(rig.window.hwnd(), nullptr);
    Press(VK_F4, true);
    for (int i = 0; i < 5 && rig.window.hwnd(); ++i) rig.window.Pump();
    EXPECT_EQ(rig.window.hwnd(), nullptr);
    EXPECT_EQ(rig.boxes.size(), 1u);
}

}  // namespace
}  // namespace qvt::win32
