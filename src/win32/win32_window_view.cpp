// The view: the window's classes, its controls at their design places scaled for the monitor's
// DPI, and what each control shows as the core tells it. How it is painted, what its keys do,
// what a screen reader hears and the bar's tooltip are each in a file of their own
// (win32_window_view.h lists them).
#include "win32_window_view.h"

#include <commctrl.h>

#include <algorithm>

#include "system_libraries.h"
#include "texts.h"
#include "wide_text.h"
#include "window_metrics.h"

namespace qvt::win32 {
namespace {

constexpr wchar_t kWindowClass[] = L"TMainForm";
constexpr wchar_t kPanelClass[] = L"TPanel";

}  // namespace

bool Win32WindowView::RegisterClasses(HINSTANCE instance) {
    WNDCLASSEXW window{};
    window.cbSize = sizeof window;
    window.lpfnWndProc = WindowProc;
    window.hInstance = instance;
    window.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    window.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    window.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window.lpszClassName = kWindowClass;
    WNDCLASSEXW panel = window;
    panel.lpfnWndProc = PanelProc;
    panel.hIcon = nullptr;
    panel.lpszClassName = kPanelClass;
    const bool window_ok =
        RegisterClassExW(&window) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    const bool panel_ok = RegisterClassExW(&panel) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    return window_ok && panel_ok;
}

Win32WindowView::Win32WindowView(HINSTANCE instance, bool quit_on_destroy)
    : instance_(instance), quit_on_destroy_(quit_on_destroy) {
    const std::wstring title = Widen(text::kTitle);
    CreateWindowExW(kWindowExStyle, kWindowClass, title.c_str(), kWindowStyle, CW_USEDEFAULT,
                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, this);
    if (!hwnd_) return;
    Layout(DpiOf(hwnd_), nullptr);
}

Win32WindowView::~Win32WindowView() {
    if (hwnd_) {
        quit_on_destroy_ = false;
        DestroyWindow(hwnd_);
    }
}

HWND Win32WindowView::control(Control control) const {
    return controls_[static_cast<std::size_t>(control)];
}

void Win32WindowView::CreateControls() {
    struct Kind {
        DWORD ex_style;
        const wchar_t* window_class;
        std::string_view caption;
        DWORD style;
    };
    // Indexed by Control, in the design's creation order, which also gives the tab order.
    const Kind kinds[kControlPlacements.size()] = {
        {WS_EX_CONTROLPARENT, kPanelClass, "", WS_CLIPSIBLINGS},
        {0, L"msctls_progress32", "", WS_CLIPSIBLINGS},
        {0, L"BUTTON", text::kStartCaption, WS_TABSTOP | BS_PUSHBUTTON},
        {0, L"BUTTON", text::kForceCaption, WS_TABSTOP | BS_AUTOCHECKBOX},
        {WS_EX_STATICEDGE, L"STATIC", "", WS_CLIPSIBLINGS | SS_CENTER | SS_CENTERIMAGE},
        {WS_EX_CLIENTEDGE, L"EDIT", "",
         WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL},
        // Below the client area where nobody sees it: no tab stop, and hidden from the tab
        // order and from a screen reader's tree alike; it keeps its lines all the same.
        {WS_EX_CLIENTEDGE, L"EDIT", "", WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL},
    };
    for (const ControlPlacement& placement : kControlPlacements) {
        const Kind& kind = kinds[static_cast<std::size_t>(placement.control)];
        HWND parent = placement.in_panel ? control(Control::kPanel3) : hwnd_;
        controls_[static_cast<std::size_t>(placement.control)] = CreateWindowExW(
            kind.ex_style, kind.window_class, Widen(kind.caption).c_str(),
            WS_CHILD | WS_VISIBLE | kind.style, 0, 0, 0, 0, parent,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(placement.control))), instance_,
            nullptr);
    }
    ShowWindow(control(Control::kPnlMsg1), SW_HIDE);
    ShowWindow(control(Control::kLog), SW_HIDE);
    KeepKeysToTheDialog();
    AnswerForTheBar();
    CreateBarTip();
    // The log keeps every line of a long run.
    SendMessageW(control(Control::kLog), EM_SETLIMITTEXT, 0, 0);
    SendMessageW(control(Control::kProgBar1), PBM_SETRANGE32, 0, kProgressInitialMax);
    // The bar colour message only works on an unthemed bar.
    using SetWindowThemeFn = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
    if (const auto set_theme = SystemFunction<SetWindowThemeFn>(L"uxtheme.dll", "SetWindowTheme")) {
        set_theme(control(Control::kProgBar1), L" ", L" ");
    }
    status_.caption.clear();
    status_.visible = false;
}

void Win32WindowView::Layout(UINT dpi, const RECT* suggested) {
    dpi_ = dpi;
    // The controls take the new fonts before the old ones are deleted: a control must never
    // hold a deleted font, even for one repaint.
    UniqueGdiObject font(MakeFont(-kDialogFontPixels, false, dpi));
    UniqueGdiObject bold_font(MakeFont(-kDialogFontPixels, true, dpi));
    UniqueGdiObject status_font(MakeFont(-kStatusFontPixels, true, dpi));
    for (const ControlPlacement& p : kControlPlacements) {
        HWND child = control(p.control);
        MoveWindow(child, Scale(p.left, dpi), Scale(p.top, dpi), Scale(p.width, dpi),
                   Scale(p.height, dpi), TRUE);
        HGDIOBJ chosen = p.font == ControlFont::kDialogBold ? bold_font.get()
                         : p.font == ControlFont::kStatus   ? status_font.get()
                                                            : font.get();
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(chosen), TRUE);
    }
    font_ = std::move(font);
    bold_font_ = std::move(bold_font);
    status_font_ = std::move(status_font);
    const int client_width = Scale(kClientWidth, dpi);
    const int client_height = Scale(kClientHeight, dpi);
    const RECT frame = WindowRectForClient(client_width, client_height, dpi);
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    LONG left = 0;
    LONG top = 0;
    if (suggested) {
        left = suggested->left;
        top = suggested->top;
    } else {
        RECT work{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        left = work.left + std::max<LONG>(0, (work.right - work.left - width) / 2);
        top = work.top + std::max<LONG>(0, (work.bottom - work.top - height) / 2);
    }
    SetWindowPos(hwnd_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    // The frame that the system really draws may differ from the computed one (a DPI change
    // that the frame does not follow): correct the size by what the client area misses.
    RECT client{};
    GetClientRect(hwnd_, &client);
    if (client.right != client_width || client.bottom != client_height) {
        width += client_width - client.right;
        height += client_height - client.bottom;
        SetWindowPos(hwnd_, nullptr, 0, 0, width, height,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    }
}

void Win32WindowView::ShowMessage(std::string_view text) {
    SetWindowTextW(control(Control::kEdtMsg), Widen(text).c_str());
    AnnounceMessage();
}

void Win32WindowView::ShowStatus(const StatusPanel& status) {
    status_ = status;
    RenewStatusBrush();
    SetWindowTextW(control(Control::kPnlMsg1), Widen(status.caption).c_str());
    AnnounceStatus();
    if (status.visible) {
        // Over the bar, which it hides while shown.
        SetWindowPos(control(Control::kPnlMsg1), HWND_TOP, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    } else {
        ShowWindow(control(Control::kPnlMsg1), SW_HIDE);
    }
    InvalidateRect(control(Control::kPnlMsg1), nullptr, TRUE);
}

void Win32WindowView::AppendLog(std::string_view line) {
    const int length = GetWindowTextLengthW(control(Control::kLog));
    const std::wstring text = (length > 0 ? L"\r\n" : L"") + Widen(line);
    SendMessageW(control(Control::kLog), EM_SETSEL, length, length);
    SendMessageW(control(Control::kLog), EM_REPLACESEL, FALSE,
                 reinterpret_cast<LPARAM>(text.c_str()));
}

void Win32WindowView::ShowProgress(int position, int maximum) {
    SendMessageW(control(Control::kProgBar1), PBM_SETRANGE32, 0, maximum);
    SendMessageW(control(Control::kProgBar1), PBM_SETPOS, std::min(position, maximum),
                 0);  // past the end: a full bar
}

void Win32WindowView::ShowPhaseTime(const PhaseClock& clock) {
    // An empty phase: the run's last has ended, and the bar claims no wait any more.
    const std::wstring line = clock.phase.empty() ? std::wstring() : Widen(PhaseClockText(clock));
    ShowBarTip(line);
    DescribeBar(line);
}

void Win32WindowView::EnableStart(bool enabled) {
    EnableWindow(control(Control::kBtnStart), enabled);
}

void Win32WindowView::ShowForceBox(bool enabled, bool checked) {
    EnableWindow(control(Control::kCkUpdate), enabled);
    SendMessageW(control(Control::kCkUpdate), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED,
                 0);
}

// A click of Start or of the force box, handed to MainForm; false for any other command.
bool Win32WindowView::Clicked(WPARAM wparam) {
    const int id = LOWORD(wparam);
    if (HIWORD(wparam) != BN_CLICKED || !form_) return false;
    if (id == ControlId(Control::kBtnStart)) {
        form_->btnStartClick();
        return true;
    }
    if (id == ControlId(Control::kCkUpdate)) {
        form_->ckUpdateClick(SendMessageW(control(Control::kCkUpdate), BM_GETCHECK, 0, 0) ==
                             BST_CHECKED);
        return true;
    }
    return false;
}

}  // namespace qvt::win32
