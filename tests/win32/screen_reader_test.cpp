// The window as a screen reader reads it: through the system's accessibility interface (MSAA,
// oleacc) and the events it listens to, never through the program's own API; and the bar's
// tooltip as the tooltip control gives it. Under Wine the
// standard controls' proxies are partial (no button, check box or progress bar proxy: those are
// plain client objects without a name or a press); what Wine offers is held here, the rest is
// written down in docs/using.md.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "accessible.h"
#include "phase_times.h"
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

// The tooltip a window owns, looked for among the thread's windows.
struct TipSearch {
    static BOOL CALLBACK Look(HWND hwnd, LPARAM self) {
        auto& search = *reinterpret_cast<TipSearch*>(self);
        wchar_t name[32] = L"";
        GetClassNameW(hwnd, name, 32);
        if (std::wstring(name) == TOOLTIPS_CLASSW && GetWindow(hwnd, GW_OWNER) == search.owner) {
            search.tip = hwnd;
            return FALSE;
        }
        return TRUE;
    }
    HWND owner;
    HWND tip = nullptr;
};

// The text of the tooltip the window keeps for `control`, as the tooltip control gives it;
// "(no tip)" when the window has no tooltip for it.
std::string TipOf(HWND control) {
    TipSearch search{GetAncestor(control, GA_ROOT)};
    EnumThreadWindows(GetCurrentThreadId(), &TipSearch::Look, reinterpret_cast<LPARAM>(&search));
    if (!search.tip) return "(no tip)";
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    for (WPARAM i = 0; SendMessageW(search.tip, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(&tool));
         ++i) {
        if ((tool.uFlags & TTF_IDISHWND) && tool.uId == reinterpret_cast<UINT_PTR>(control)) {
            wchar_t text[INFOTIPSIZE] = L"";
            tool.lpszText = text;
            SendMessageW(search.tip, TTM_GETTEXTW, INFOTIPSIZE, reinterpret_cast<LPARAM>(&tool));
            return Narrow(text);
        }
    }
    return "(no tip)";
}

// The bar's description and tooltip, read each time the bar says its description changed.
struct DescriptionListener {
    static void CALLBACK Heard(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG, DWORD,
                               DWORD) {
        if (event != EVENT_OBJECT_DESCRIPTIONCHANGE || object != OBJID_CLIENT) return;
        heard.push_back({hwnd, DescriptionOf(hwnd), TipOf(hwnd)});
    }
    struct Reading {
        HWND hwnd;
        std::string description, tip;
    };
    static inline std::vector<Reading> heard;
};

// The line the core gives for `phase` of a run of one unit, `seconds` into it.
std::string CoreLine(Phase phase, std::uint64_t seconds, bool driver) {
    const PhaseTimes times = TimesOf(phase, 1, driver);
    return PhaseClockText({PhaseName(phase), WaitingFor(phase), seconds * 1000, times.typical_ms,
                           times.limit_ms, seconds == 0});
}

TEST_F(Win32Window, TheBarTellsAScreenReaderAndTheEyeHowLongThePhaseUnderWayHasTaken) {
    ComApartment apartment;
    WindowRig rig(testing::kOneOutdatedUnit);
    HWND bar = rig[Control::kProgBar1];
    // No wait claimed before a run; in all but its description the bar is the system's object.
    EXPECT_EQ(DescriptionOf(bar), "(none)");
    EXPECT_EQ(TipOf(bar), "");
    const Accessible standard = StandardAccessibleOf(bar);
    ASSERT_TRUE(standard);
    EXPECT_EQ(NameOf(bar), Answer(*standard, &IAccessible::get_accName));
    EXPECT_EQ(RoleOf(bar), VariantOf(standard, &IAccessible::get_accRole));

    DescriptionListener::heard.clear();
    const HWINEVENTHOOK hook = SetWinEventHook(
        EVENT_OBJECT_DESCRIPTIONCHANGE, EVENT_OBJECT_DESCRIPTIONCHANGE, nullptr,
        &DescriptionListener::Heard, GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook, nullptr);
    SendMessageW(rig[Control::kBtnStart], BM_CLICK, 0, 0);
    rig.window.Pump();
    UnhookWinEvent(hook);

    // Read as the bar announced each change: the description and the tip say the same line;
    // with no line, the bar has no description and an empty tip, which never shows.
    std::vector<std::string> lines;
    for (const DescriptionListener::Reading& reading : DescriptionListener::heard) {
        EXPECT_EQ(reading.hwnd, bar);
        EXPECT_EQ(reading.description, reading.tip.empty() ? "(none)" : reading.tip);
        lines.push_back(reading.tip);
    }
    // The core's line as each timed phase begins, and as a wait passes its first second, in
    // the run's order.
    const struct {
        Phase phase;
        std::uint64_t seconds;
    } kHeard[] = {{Phase::kBootSwitch, 0}, {Phase::kBootSwitch, 1}, {Phase::kErase, 0},
                  {Phase::kBlankCheck, 0}, {Phase::kProgram, 0},    {Phase::kVerify, 0},
                  {Phase::kReset, 0},      {Phase::kReturnWait, 0}, {Phase::kReturnWait, 1}};
    const bool driver = rig.updater.app.DriverPresent();
    auto next = lines.begin();
    for (const auto& c : kHeard) {
        const std::string line = CoreLine(c.phase, c.seconds, driver);
        next = std::find(next, lines.end(), line);
        ASSERT_NE(next, lines.end()) << "not heard in order: " << line;
    }
    // After the run nothing claims a wait: the last change heard was the one that said so.
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "");
    EXPECT_EQ(DescriptionOf(bar), "(none)");
    EXPECT_EQ(TipOf(bar), "");
}

}  // namespace
}  // namespace qvt::win32
