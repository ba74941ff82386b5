// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "exit_status.h"
#include "texts.h"
#include "transcript_lines.h"
#include "twin_windows.h"
#include "wide_text.h"
#include "win32_window_view.h"
#include "window_layout.h"
#include "window_view.h"

namespace qvt::twin {
namespace {

// What another process can read of the product's window: each control as the user sees it.
struct Seen {
    std::string message;
    StatusPanel status;
    int position = 0, maximum = 0;
    bool start = false;
    bool force_enabled = false, force_checked = false;
    bool operator==(const Seen&) const = default;
};

std::wstring TextOf(HWND control) {
    // WM_GETTEXT crosses processes; GetWindowText does not for another process's controls.
    const LRESULT length = SendMessageW(control, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

std::uint32_t Distance(COLORREF a, COLORREF b) {
    const auto d = [](int x, int y) { return static_cast<std::uint32_t>((x - y) * (x - y)); };
    return d(GetRValue(a), GetRValue(b)) + d(GetGValue(a), GetGValue(b)) +
           d(GetBValue(a), GetBValue(b));
}

// The panel's colours as painted on the screen: its background is what its corners show, its
// text the pixel farthest from that. The button face is named as the program names it.
void ReadColours(HWND panel, StatusPanel& status) {
    RECT rect;
    GetWindowRect(panel, &rect);
    HDC screen = GetDC(nullptr);
    std::map<COLORREF, int> corners;
    for (int dx : {3, -4}) {
        for (int dy : {3, -4}) {
            corners[GetPixel(screen, (dx > 0 ? rect.left : rect.right) + dx,
                             (dy > 0 ? rect.top : rect.bottom) + dy)]++;
        }
    }
    COLORREF background = corners.begin()->first;
    for (const auto& [colour, count] : corners) {
        if (count > corners[background]) background = colour;
    }
    COLORREF text = background;
    std::uint32_t farthest = 0;
    for (LONG y = rect.top + 2; y < rect.bottom - 2; ++y) {
        for (LONG x = rect.left + 2; x < rect.right - 2; ++x) {
            const COLORREF pixel = GetPixel(screen, x, y);
            if (pixel != CLR_INVALID && Distance(pixel, background) > farthest) {
                farthest = Distance(pixel, background);
                text = pixel;
            }
        }
    }
    ReleaseDC(nullptr, screen);
    status.background = background == GetSysColor(COLOR_BTNFACE)
                            ? color::kButtonFace
                            : static_cast<std::uint32_t>(background);
    status.text_color = text;
}

HWND Control(HWND window, qvt::Control control) {
    return GetDlgItem(
        control == qvt::Control::kPanel3 || !kControlPlacements[static_cast<int>(control)].in_panel
            ? window
            : GetDlgItem(window, win32::ControlId(qvt::Control::kPanel3)),
        win32::ControlId(control));
}

Seen Read(HWND window, bool colours) {
    Seen seen;
    seen.message = win32::Narrow(TextOf(Control(window, qvt::Control::kEdtMsg)));
    HWND panel = Control(window, qvt::Control::kPnlMsg1);
    seen.status.visible = IsWindowVisible(panel);
    seen.status.caption = win32::Narrow(TextOf(panel));
    if (colours && seen.status.visible) ReadColours(panel, seen.status);
    HWND bar = Control(window, qvt::Control::kProgBar1);
    seen.position = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
    seen.maximum = static_cast<int>(SendMessageW(bar, PBM_GETRANGE, FALSE, 0));
    seen.start = IsWindowEnabled(Control(window, qvt::Control::kBtnStart));
    HWND force = Control(window, qvt::Control::kCkUpdate);
    seen.force_enabled = IsWindowEnabled(force);
    seen.force_checked = SendMessageW(force, BM_GETCHECK, 0, 0) == BST_CHECKED;
    return seen;
}

// A message box the program shows over its window, if one is up.
HWND BoxOf(HWND window) {
    HWND box = nullptr;
    while ((box = FindWindowExW(nullptr, box, L"#32770", nullptr))) {
        if (GetWindow(box, GW_OWNER) == window && IsWindowVisible(box)) return box;
    }
    return nullptr;
}

// A person's click: the pointer moves to the control's middle, the button goes down and up.
void Click(HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    const int x = (rect.left + rect.right) / 2, y = (rect.top + rect.bottom) / 2;
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    INPUT inputs[3] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_MOUSE;
        input.mi.dx = x * 65535 / (width - 1);
        input.mi.dy = y * 65535 / (height - 1);
        input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE;
    }
    inputs[0].mi.dwFlags |= MOUSEEVENTF_MOVE;
    inputs[1].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    inputs[2].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    SendInput(1, &inputs[0], sizeof(INPUT));
    Sleep(50);
    SendInput(2, &inputs[1], sizeof(INPUT));
}

void Print(const Seen& seen, const std::vector<std::string>& boxes) {
    std::map<TranscriptEntry::Kind, std::string> last;
    TranscriptLines lines(TranscriptLines::EntrySink(
        [&](const TranscriptEntry& entry) { last[entry.kind] = entry.line; }));
    lines.Message(seen.message);
    lines.Status(seen.status);
    lines.Progress(seen.position, seen.maximum);
    lines.Start(seen.start);
    std::string out;
    for (const std::string& box : boxes) out += "box: " + box + "\n";
    out += last[TranscriptEntry::Kind::kMessage] + "\n";
    // Colours cannot be read off a hidden panel: a hidden one shows only that it is hidden.
    out += seen.status.visible ? last[TranscriptEntry::Kind::kStatus] + "\n" : "status: hidden\n";
    out += last[TranscriptEntry::Kind::kProgress] + "\n";
    out += last[TranscriptEntry::Kind::kStart] + "\n";
    _setmode(_fileno(stdout), _O_BINARY);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

// Clicks Start and follows the run it begins until it has ended: Start back (a failed run) or
// the status panel's verdict with Start left disabled, and nothing changed for 1.5 s. Boxes the
// program shows meanwhile are answered and kept. False when the deadline came first.
bool FollowRun(HWND window, ULONGLONG deadline, std::vector<std::string>& boxes) {
    const ULONGLONG clicked_at = GetTickCount64();
    Click(Control(window, qvt::Control::kBtnStart));
    // The run has begun once Start is disabled.
    for (int i = 0; i < 100 && Read(window, false).start; ++i) Sleep(20);
    Seen before = Read(window, false);
    ULONGLONG stable_since = GetTickCount64();
    while (GetTickCount64() < deadline) {
        if (HWND box = BoxOf(window)) {
            boxes.push_back(win32::Narrow(TextOf(GetDlgItem(box, 0xFFFF))));
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            Sleep(200);
            continue;
        }
        const Seen now = Read(window, false);
        if (!(now == before)) {
            before = now;
            stable_since = GetTickCount64();
        }
        const bool ended = now.start || now.status.visible;
        if (ended && GetTickCount64() - stable_since > 1500) {
            // From the click to the window's last change: how long the run took.
            std::fprintf(stderr, "qvt-twin: the run took %.1f s\n",
                         static_cast<double>(stable_since - clicked_at) / 1000.0);
            return true;
        }
        Sleep(50);
    }
    return false;
}

}  // namespace

int Watch(bool force, int runs, int timeout_s) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout_s) * 1000;
    HWND window = nullptr;
    // Shown means created with its start-up check done: the window appears only afterwards.
    while (!(window = FindWindowW(L"TMainForm", nullptr)) || !IsWindowVisible(window)) {
        if (GetTickCount64() > deadline) {
            std::fprintf(stderr, "qvt-twin: the program's window did not appear\n");
            return 3;
        }
        Sleep(50);
    }
    SetForegroundWindow(window);
    Sleep(200);
    std::vector<std::string> boxes;
    if (force && Read(window, false).force_enabled) {
        Click(Control(window, qvt::Control::kCkUpdate));
        Sleep(300);
    }
    // As a person does: Start again after a failed run, while it is enabled, up to `runs` times.
    int clicks = 0;
    bool ended = true;
    while (clicks < runs && Read(window, false).start) {
        ++clicks;
        if (!(ended = FollowRun(window, deadline, boxes))) break;
    }
    const Seen last = Read(window, true);
    Print(last, boxes);
    PostMessageW(window, WM_CLOSE, 0, 0);
    // A run the twin stopped watching has no outcome the twin could tell.
    if (!ended) {
        std::fprintf(stderr,
                     "qvt-twin: the run had not ended after %d s; the twin stopped watching\n",
                     timeout_s);
        return 3;
    }
    // As the console ends: the status of what the window shows last.
    const std::string& caption = last.status.caption;
    if (clicks == 0) {
        if (caption == text::kCaptionMissing) return Code(ExitStatus::kNoUnit);
        if (caption == text::kCaptionSeveral) return Code(ExitStatus::kSeveralUnits);
        if (caption == text::kCaptionVersionUnread) return Code(ExitStatus::kVersionUnread);
        return Code(ExitStatus::kCurrent);
    }
    if (last.status.visible &&
        (caption == text::kCaptionCompleted || caption == text::kCaptionCompletedOnRestart)) {
        return Code(ExitStatus::kCompleted);
    }
    if (last.status.visible && caption == text::kCaptionCompletedUnconfirmed) {
        return Code(ExitStatus::kReturnUnconfirmed);
    }
    return Code(last.start ? ExitStatus::kFailed : ExitStatus::kCurrent);
}

}  // namespace qvt::twin
