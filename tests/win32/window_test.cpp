// The real Win32 window with the simulated unit behind it, driven as a user would.
#include <gtest/gtest.h>

#include "window_rig.h"

namespace qvt::win32 {
namespace {

RECT RectInParent(HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool SameRect(const RECT& rect, int left, int top, int width, int height) {
    return rect.left == left && rect.top == top && rect.right - rect.left == width &&
           rect.bottom - rect.top == height;
}

TEST_F(Win32Window, HasItsControlsAtTheDesignPlaces) {
    WindowRig rig(testing::kOneOutdatedUnit);
    ASSERT_NE(rig.window.hwnd(), nullptr);
    ASSERT_EQ(rig.window.dpi(), 96u);
    wchar_t class_name[32];
    GetClassNameW(rig.window.hwnd(), class_name, 32);
    EXPECT_STREQ(class_name, L"TMainForm");
    EXPECT_EQ(TextOf(rig.window.hwnd()), text::kTitle);
    RECT client;
    GetClientRect(rig.window.hwnd(), &client);
    EXPECT_EQ(client.right, 307);
    EXPECT_EQ(client.bottom, 110);
    EXPECT_TRUE(SameRect(RectInParent(rig[Control::kPanel3]), 4, 4, 300, 53));
    EXPECT_TRUE(SameRect(RectInParent(rig[Control::kProgBar1]), 5, 28, 218, 20));
    EXPECT_TRUE(SameRect(RectInParent(rig[Control::kPnlMsg1]), 5, 28, 218, 20));
    EXPECT_TRUE(SameRect(RectInParent(rig[Control::kBtnStart]), 228, 4, 67, 45));
    EXPECT_TRUE(SameRect(RectInParent(rig[Control::kCkUpdate]), 5, 6, 220, 17));
    EXPECT_TRUE(SameRect(RectInParent(rig[Control::kEdtMsg]), 4, 58, 301, 49));
    EXPECT_TRUE(SameRect(RectInParent(rig[Control::kLog]), 4, 112, 300, 81));
    EXPECT_EQ(GetParent(rig[Control::kBtnStart]), rig[Control::kPanel3]);
    EXPECT_EQ(TextOf(rig[Control::kBtnStart]), text::kStartCaption);
    EXPECT_EQ(TextOf(rig[Control::kCkUpdate]), text::kForceCaption);
    EXPECT_TRUE(GetWindowLongW(rig[Control::kEdtMsg], GWL_STYLE) & ES_READONLY);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HGDIOBJ>(SendMessageW(rig[Control::kBtnStart], WM_GETFONT, 0, 0)),
               sizeof font, &font);
    EXPECT_EQ(font.lfHeight, -12);
    EXPECT_EQ(font.lfWeight, FW_BOLD);
    EXPECT_EQ(font.lfCharSet, SHIFTJIS_CHARSET);
    GetObjectW(reinterpret_cast<HGDIOBJ>(SendMessageW(rig[Control::kPnlMsg1], WM_GETFONT, 0, 0)),
               sizeof font, &font);
    EXPECT_EQ(font.lfHeight, -13);
}

TEST_F(Win32Window, RescalesForANewMonitorDpi) {
    WindowRig rig(testing::kOneOutdatedUnit);
    RECT suggested{10, 20, 10 + 500, 20 + 300};
    SendMessageW(rig.window.hwnd(), WM_DPICHANGED, MAKEWPARAM(144, 144),
                 reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(rig.window.dpi(), 144u);
    RECT client;
    GetClientRect(rig.window.hwnd(), &client);
    EXPECT_EQ(client.right, 461);  // 307 x 110 at 150 %
    EXPECT_EQ(client.bottom, 165);
    EXPECT_TRUE(SameRect(RectInParent(rig[Control::kBtnStart]), 342, 6, 101, 68));
    EXPECT_TRUE(SameRect(RectInParent(rig[Control::kPnlMsg1]), 8, 42, 327, 30));
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HGDIOBJ>(SendMessageW(rig[Control::kEdtMsg], WM_GETFONT, 0, 0)),
               sizeof font, &font);
    EXPECT_EQ(font.lfHeight, -18);
}

TEST_F(Win32Window, ShowsTheStartUpCheck) {
    WindowRig rig(testing::kOneOutdatedUnit);
    EXPECT_EQ(TextOf(rig[Control::kEdtMsg]), text::kMessageNeeded);
    EXPECT_EQ(TextOf(rig[Control::kPnlMsg1]), text::kCaptionNeeded);
    EXPECT_TRUE(IsWindowVisible(rig[Control::kPnlMsg1]));
    EXPECT_TRUE(IsWindowEnabled(rig[Control::kBtnStart]));
    EXPECT_FALSE(IsWindowEnabled(rig[Control::kCkUpdate]));
    EXPECT_EQ(rig.StatusColours().first, RGB(255, 0, 0));
    EXPECT_EQ(rig.StatusColours().second, GetSysColor(COLOR_BTNFACE));
}

TEST_F(Win32Window, StartClickedRunsTheUpdateAndTheControlsShowTheResult) {
    WindowRig rig(testing::kOneOutdatedUnit);
    // A close request waits in the queue; the run's first pump delivers it.
    PostMessageW(rig.window.hwnd(), WM_CLOSE, 0, 0);
    SendMessageW(rig[Control::kBtnStart], BM_CLICK, 0, 0);

    ASSERT_EQ(rig.boxes.size(), 1u);
    EXPECT_EQ(rig.boxes[0], text::kCloseWhileBusy);
    ASSERT_NE(rig.window.hwnd(), nullptr);  // the close was refused
    EXPECT_TRUE(rig.updater.sequence.completed());
    EXPECT_EQ(TextOf(rig[Control::kEdtMsg]), text::kMessageCompleted);
    EXPECT_EQ(TextOf(rig[Control::kPnlMsg1]), text::kCaptionCompleted);
    EXPECT_TRUE(IsWindowVisible(rig[Control::kPnlMsg1]));
    EXPECT_EQ(rig.StatusColours(), std::make_pair(RGB(255, 255, 255), RGB(0, 128, 0)));
    EXPECT_FALSE(IsWindowEnabled(rig[Control::kBtnStart]));
    EXPECT_FALSE(IsWindowEnabled(rig[Control::kCkUpdate]));
    EXPECT_EQ(SendMessageW(rig[Control::kProgBar1], PBM_GETPOS, 0, 0), 13);
    EXPECT_EQ(SendMessageW(rig[Control::kProgBar1], PBM_GETRANGE, FALSE, 0), 13);
    EXPECT_NE(TextOf(rig[Control::kLog]).find("[ResetDevice]OpenHid count:0"), std::string::npos);
    EXPECT_EQ(rig.world.unit(0).running_version, 0x0310);

    SendMessageW(rig.window.hwnd(), WM_CLOSE, 0, 0);  // after the run it closes
    EXPECT_EQ(rig.window.hwnd(), nullptr);
    EXPECT_EQ(rig.world.open_handles(), 0);
}

TEST_F(Win32Window, TheForceBoxEnablesStartOnACurrentUnit) {
    WindowRig rig(testing::kOneCurrentUnit);
    EXPECT_EQ(TextOf(rig[Control::kPnlMsg1]), text::kCaptionCurrent);
    EXPECT_FALSE(IsWindowEnabled(rig[Control::kBtnStart]));
    SendMessageW(rig[Control::kCkUpdate], BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(rig[Control::kCkUpdate], BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(IsWindowEnabled(rig[Control::kBtnStart]));
}

TEST_F(Win32Window, AFailedRunLeavesStartEnabledAndTheBarAsItWas) {
    WindowRig rig(R"({"faults": [{"kind": "ignore_boot_request"}]})");
    SendMessageW(rig[Control::kBtnStart], BM_CLICK, 0, 0);
    EXPECT_EQ(TextOf(rig[Control::kEdtMsg]), text::kMessageRunFailed);
    EXPECT_TRUE(IsWindowEnabled(rig[Control::kBtnStart]));
    EXPECT_FALSE(IsWindowVisible(rig[Control::kPnlMsg1]));
    EXPECT_EQ(SendMessageW(rig[Control::kProgBar1], PBM_GETPOS, 0, 0), 2);
    EXPECT_NE(TextOf(rig[Control::kLog]).find("CheckBootMode false!!"), std::string::npos);
}

TEST_F(Win32Window, AClickPostedDuringARunStartsNothing) {
    WindowRig rig(testing::kOneOutdatedUnit);
    // Both arrive at the run's first pump, with Start already disabled: a posted BM_CLICK and
    // the notification a program could post to the window directly.
    PostMessageW(rig[Control::kBtnStart], BM_CLICK, 0, 0);
    PostMessageW(rig.window.hwnd(), WM_COMMAND,
                 MAKEWPARAM(ControlId(Control::kBtnStart), BN_CLICKED),
                 reinterpret_cast<LPARAM>(rig[Control::kBtnStart]));
    SendMessageW(rig[Control::kBtnStart], BM_CLICK, 0, 0);
    // One run, ended in completion: a nested one would leave the outer one to fail after it.
    EXPECT_EQ(TextOf(rig[Control::kEdtMsg]), text::kMessageCompleted);
    EXPECT_EQ(TextOf(rig[Control::kPnlMsg1]), text::kCaptionCompleted);
    EXPECT_EQ(rig.updater.sequence.FailedRunCount(), 0);
    EXPECT_EQ(rig.world.unit(0).boot_requests, 1);
    EXPECT_EQ(rig.world.unit(0).total_received, 2448);
    const std::string log = TextOf(rig[Control::kLog]);
    EXPECT_EQ(log.find("ChangeBootMode true"), log.rfind("ChangeBootMode true"));
    EXPECT_EQ(log.find("CheckBootMode false!!"), std::string::npos);
}

// The window procedure as the system would call it while the run pumps: a session-end query
// sent during the run, recorded together with the block reason that the shutdown screen shows.
struct SessionEndProbe {
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_APP) {
            during = CallWindowProcW(original, hwnd, WM_QUERYENDSESSION, 0, 0);
            using QueryFn = BOOL(WINAPI*)(HWND, LPWSTR, DWORD*);
            if (const auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(
                    GetProcAddress(GetModuleHandleW(L"user32.dll"), "ShutdownBlockReasonQuery")))) {
                wchar_t text[256] = {};
                DWORD length = 256;
                if (query(hwnd, text, &length)) reason = Narrow(text);
            }
            return 0;
        }
        return CallWindowProcW(original, hwnd, message, wparam, lparam);
    }
    static inline WNDPROC original = nullptr;
    static inline LRESULT during = -1;
    static inline std::string reason;
};

TEST_F(Win32Window, TheSessionEndIsRefusedDuringARunAndAllowedAfterIt) {
    WindowRig rig(testing::kOneOutdatedUnit);
    HWND hwnd = rig.window.hwnd();
    SessionEndProbe::original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SessionEndProbe::Proc)));
    EXPECT_EQ(SendMessageW(hwnd, WM_QUERYENDSESSION, 0, 0), TRUE);  // before: allowed
    PostMessageW(hwnd, WM_APP, 0, 0);
    SendMessageW(rig[Control::kBtnStart], BM_CLICK, 0, 0);
    EXPECT_EQ(SessionEndProbe::during, FALSE);
    ::testing::Test::RecordProperty("shutdown_block_reason", SessionEndProbe::reason);
    if (!SessionEndProbe::reason.empty()) {
        EXPECT_EQ(SessionEndProbe::reason, text::kCloseWhileBusy);
    }
    EXPECT_TRUE(rig.updater.sequence.completed());
    EXPECT_EQ(SendMessageW(hwnd, WM_QUERYENDSESSION, 0, 0), TRUE);  // after: allowed again
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SessionEndProbe::original));
}

TEST_F(Win32Window, AnExceptionInAWindowMessageFailsTheRunAndKeepsTheWindow) {
    WindowRig rig(testing::kOneOutdatedUnit);
    CloseWhenShown::text = text::kEraseStart;
    CloseWhenShown::original = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        rig[Control::kEdtMsg], GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CloseWhenShown::Proc)));
    // The close request's box raises inside the window message, in the middle of the erase.
    rig.window.SetModalBoxHandler([](std::string_view) { throw std::runtime_error("stray"); });
    SendMessageW(rig[Control::kBtnStart], BM_CLICK, 0, 0);
    SetWindowLongPtrW(rig[Control::kEdtMsg], GWLP_WNDPROC,
                      reinterpret_cast<LONG_PTR>(CloseWhenShown::original));
    EXPECT_EQ(rig.world.unit(0).total_received, 0);  // failed at once: nothing was erased
    ASSERT_NE(rig.window.hwnd(), nullptr);
    EXPECT_TRUE(IsWindow(rig.window.hwnd()));
    EXPECT_EQ(TextOf(rig[Control::kEdtMsg]), text::kMessageRunFailed);
    EXPECT_TRUE(IsWindowEnabled(rig[Control::kBtnStart]));
    EXPECT_EQ(rig.updater.sequence.FailedRunCount(), 1);
    EXPECT_FALSE(rig.updater.sequence.busy());
    MSG quit;
    EXPECT_FALSE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
    EXPECT_EQ(rig.window.TakePendingException(), nullptr);
}

}  // namespace
}  // namespace qvt::win32
