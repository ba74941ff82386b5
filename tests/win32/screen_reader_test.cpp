// The window as a screen reader reads it: through the system's accessibility interface (MSAA,
// oleacc) and the events it listens to, never through the program's own API. Under Wine the
// standard controls' proxies are partial (no button, check box or progress bar proxy: those are
// plain client objects without a name or a press); what Wine offers is held here, the rest is
// written down in docs/using.md.
#include <gtest/gtest.h>

#include <vector>

#include "accessible.h"
#include "window_rig.h"

namespace qvt::win32 {
namespace {

// What a listening screen reader hears: each name and value change, read at once from the
// object that announced it.
struct Listener {
    static void CALLBACK Heard(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG, DWORD,
                               DWORD) {
        if (object != OBJID_CLIENT) return;
        if (event == EVENT_OBJECT_NAMECHANGE) names.push_back({hwnd, NameOf(hwnd)});
        if (event == EVENT_OBJECT_VALUECHANGE) values.push_back({hwnd, ValueOf(hwnd)});
    }
    static std::vector<std::string> Of(const std::vector<std::pair<HWND, std::string>>& heard,
                                       HWND hwnd) {
        std::vector<std::string> texts;
        for (const auto& [source, text] : heard) {
            if (source == hwnd) texts.push_back(text);
        }
        return texts;
    }
    static inline std::vector<std::pair<HWND, std::string>> names, values;
};

TEST_F(Win32Window, AScreenReaderReadsTheWindowAndHearsTheRunToItsCompletion) {
    ComApartment apartment;
    WindowRig rig(testing::kOneOutdatedUnit);
    EXPECT_EQ(NameOf(rig.window.hwnd()), text::kTitle);
    EXPECT_EQ(StateOf(rig[Control::kBtnStart]) & STATE_SYSTEM_UNAVAILABLE, 0);
    EXPECT_NE(StateOf(rig[Control::kCkUpdate]) & STATE_SYSTEM_UNAVAILABLE, 0);
    // The message is a read-only text whose value is the message; the log memo below the
    // client area is invisible to the reader, as it is to the eye.
    EXPECT_EQ(RoleOf(rig[Control::kEdtMsg]), ROLE_SYSTEM_TEXT);
    EXPECT_EQ(ValueOf(rig[Control::kEdtMsg]), TextOf(rig[Control::kEdtMsg]));
    EXPECT_NE(StateOf(rig[Control::kEdtMsg]) & STATE_SYSTEM_READONLY, 0);
    EXPECT_NE(StateOf(rig[Control::kLog]) & STATE_SYSTEM_INVISIBLE, 0);
    EXPECT_EQ(StateOf(rig[Control::kEdtMsg]) & STATE_SYSTEM_INVISIBLE, 0);

    Listener::names.clear();
    Listener::values.clear();
    const HWINEVENTHOOK hook =
        SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_VALUECHANGE, nullptr,
                        &Listener::Heard, GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook, nullptr);
    SendMessageW(rig[Control::kBtnStart], BM_CLICK, 0, 0);
    rig.window.Pump();
    UnhookWinEvent(hook);

    // The status panel is named by its caption, and its last announced name is the completion.
    EXPECT_EQ(NameOf(rig[Control::kPnlMsg1]), text::kCaptionCompleted);
    const std::vector<std::string> status = Listener::Of(Listener::names, rig[Control::kPnlMsg1]);
    ASSERT_FALSE(status.empty());
    EXPECT_EQ(status.back(), text::kCaptionCompleted);
    // Each step's message was announced as it was shown, the last one the completion's.
    const std::vector<std::string> messages = Listener::Of(Listener::values, rig[Control::kEdtMsg]);
    EXPECT_NE(std::find(messages.begin(), messages.end(), text::kEraseStart), messages.end());
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), text::kMessageCompleted);
    EXPECT_NE(StateOf(rig[Control::kBtnStart]) & STATE_SYSTEM_UNAVAILABLE, 0);
}

}  // namespace
}  // namespace qvt::win32
