#include "win32_form_view.h"

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

constexpr wchar_t kOriginalProc[] = L"QvtOriginalProc";

// Hands a message on to the control's own procedure, and puts that procedure back as the
// control goes.
LRESULT CallOriginal(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    const auto original = reinterpret_cast<WNDPROC>(GetPropW(hwnd, kOriginalProc));
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        RemovePropW(hwnd, kOriginalProc);
    }
    return CallWindowProcW(original, hwnd, message, wparam, lparam);
}

void Subclass(HWND hwnd, WNDPROC proc) {
    SetPropW(hwnd, kOriginalProc, reinterpret_cast<HANDLE>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC)));
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
}

// The message box as a read-only field of a dialog: Tab, Esc and Enter belong to the dialog
// manager (the next control; nothing, as the window has no Cancel or default button). A
// multiline edit would keep Tab, and turn Esc into a close of the whole window.
LRESULT CALLBACK MessageProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_GETDLGCODE) {
        return CallOriginal(hwnd, message, wparam, lparam) &
               ~(DLGC_WANTALLKEYS | DLGC_WANTTAB | DLGC_WANTMESSAGE);
    }
    if ((message == WM_KEYDOWN || message == WM_CHAR) &&
        (wparam == VK_ESCAPE || wparam == VK_RETURN || wparam == VK_TAB)) {
        return 0;
    }
    return CallOriginal(hwnd, message, wparam, lparam);
}

// Start never becomes the default button that the dialog manager makes of a push button
// reached by Tab: Enter then presses nothing, and only space or a click starts a flash.
LRESULT CALLBACK StartProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == BM_SETSTYLE && (wparam & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
        wparam = (wparam & ~static_cast<WPARAM>(BS_TYPEMASK)) | BS_PUSHBUTTON;
    }
    return CallOriginal(hwnd, message, wparam, lparam);
}

}  // namespace

bool SystemHighContrast() {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof contrast;
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

COLORREF ToColorRef(std::uint32_t value) {
    if (value == color::kButtonFace) return GetSysColor(COLOR_BTNFACE);
    return static_cast<COLORREF>(value & 0x00FFFFFF);
}

bool Win32FormView::RegisterClasses(HINSTANCE instance) {
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

Win32FormView::Win32FormView(HINSTANCE instance, bool quit_on_destroy)
    : instance_(instance), quit_on_destroy_(quit_on_destroy) {
    const std::wstring title = Widen(text::kTitle);
    CreateWindowExW(kWindowExStyle, kWindowClass, title.c_str(), kWindowStyle, CW_USEDEFAULT,
                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, this);
    if (!hwnd_) return;
    Layout(DpiOf(hwnd_), nullptr);
}

Win32FormView::~Win32FormView() {
    if (hwnd_) {
        quit_on_destroy_ = false;
        DestroyWindow(hwnd_);
    }
}

HWND Win32FormView::control(Control control) const {
    return controls_[static_cast<std::size_t>(control)];
}

void Win32FormView::CreateControls() {
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
    Subclass(control(Control::kEdtMsg), MessageProc);
    Subclass(control(Control::kBtnStart), StartProc);
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

void Win32FormView::Layout(UINT dpi, const RECT* suggested) {
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

void Win32FormView::ShowMessage(std::string_view text) {
    HWND message = control(Control::kEdtMsg);
    SetWindowTextW(message, Widen(text).c_str());
    // A screen reader hears each new message.
    NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, message, OBJID_CLIENT, CHILDID_SELF);
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, message, OBJID_CLIENT, CHILDID_SELF);
}

void Win32FormView::ShowStatus(const StatusPanel& status) {
    status_ = status;
    // The panel asks for its brush when it next paints; the old one is not in use by then.
    status_brush_.reset(CreateSolidBrush(StatusColours().second));
    SetWindowTextW(control(Control::kPnlMsg1), Widen(status.caption).c_str());
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, control(Control::kPnlMsg1), OBJID_CLIENT, CHILDID_SELF);
    if (status.visible) {
        // Over the bar, which it hides while shown.
        SetWindowPos(control(Control::kPnlMsg1), HWND_TOP, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    } else {
        ShowWindow(control(Control::kPnlMsg1), SW_HIDE);
    }
    InvalidateRect(control(Control::kPnlMsg1), nullptr, TRUE);
}

void Win32FormView::AppendLog(std::string_view line) {
    const int length = GetWindowTextLengthW(control(Control::kLog));
    const std::wstring text = (length > 0 ? L"\r\n" : L"") + Widen(line);
    SendMessageW(control(Control::kLog), EM_SETSEL, length, length);
    SendMessageW(control(Control::kLog), EM_REPLACESEL, FALSE,
                 reinterpret_cast<LPARAM>(text.c_str()));
}

void Win32FormView::ShowProgress(int position, int maximum) {
    SendMessageW(control(Control::kProgBar1), PBM_SETRANGE32, 0, maximum);
    SendMessageW(control(Control::kProgBar1), PBM_SETPOS, std::min(position, maximum),
                 0);  // past the end: a full bar
}

void Win32FormView::ShowBarColor(std::uint32_t color) {
    bar_color_ = color;
    // Under High Contrast the bar takes the colour the person chose (CLR_DEFAULT).
    SendMessageW(control(Control::kProgBar1), kPbmSetBarColor, 0,
                 static_cast<LPARAM>(high_contrast_ ? CLR_DEFAULT : ToColorRef(color)));
}

std::pair<COLORREF, COLORREF> Win32FormView::StatusColours() const {
    if (high_contrast_) return {GetSysColor(COLOR_BTNTEXT), GetSysColor(COLOR_BTNFACE)};
    return {ToColorRef(status_.text_color), ToColorRef(status_.background)};
}

void Win32FormView::FollowContrast() {
    // Everything painted again from the colours as they now are: the scheme's may have changed
    // with the setting, and the button face that some states use may have changed on its own.
    high_contrast_ = high_contrast_query_();
    if (bar_color_) ShowBarColor(*bar_color_);
    status_brush_.reset(CreateSolidBrush(StatusColours().second));
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Win32FormView::FocusFirstEnabled() {
    for (Control candidate : {Control::kBtnStart, Control::kCkUpdate, Control::kEdtMsg}) {
        if (IsWindowEnabled(control(candidate))) {
            SetFocus(control(candidate));
            return;
        }
    }
}

void Win32FormView::EnableStart(bool enabled) {
    EnableWindow(control(Control::kBtnStart), enabled);
}

void Win32FormView::ShowForceBox(bool enabled, bool checked) {
    EnableWindow(control(Control::kCkUpdate), enabled);
    SendMessageW(control(Control::kCkUpdate), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED,
                 0);
}

void Win32FormView::ShowModalBox(std::string_view text) {
    if (modal_handler_) {
        modal_handler_(text);
        return;
    }
    MessageBoxW(hwnd_, Widen(text).c_str(), Widen(text::kTitle).c_str(), MB_OK);
}

void Win32FormView::SetBusy(bool busy) {
    busy_ = busy;
    // Looked up at run time, like every function the oldest supported Windows may lack.
    const auto create = Optional().ShutdownBlockReasonCreate;
    const auto destroy = Optional().ShutdownBlockReasonDestroy;
    if (!hwnd_) return;
    if (busy && create) create(hwnd_, Widen(text::kCloseWhileBusy).c_str());
    if (!busy && destroy) destroy(hwnd_);
    // A run has ended: the focus goes where it goes when the window opens.
    if (!busy) FocusFirstEnabled();
}

void Win32FormView::Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));  // for the outer loop
            break;
        }
        if (!hwnd_ || !IsDialogMessageW(hwnd_, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (pending_) std::rethrow_exception(TakePendingException());
}

void Win32FormView::RunUntilClosed() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!hwnd_ || !IsDialogMessageW(hwnd_, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (pending_) std::rethrow_exception(TakePendingException());
    }
    if (pending_) std::rethrow_exception(TakePendingException());
}

LRESULT Win32FormView::ColorControl(HDC dc, HWND child) {
    if (child == control(Control::kPnlMsg1)) {
        const auto [text_color, background] = StatusColours();
        SetTextColor(dc, text_color);
        SetBkColor(dc, background);
        return reinterpret_cast<LRESULT>(status_brush_.get());
    }
    // The message's text on the button face; a High Contrast scheme pairs the face with its
    // button text, not with the window text.
    SetTextColor(dc, GetSysColor(high_contrast_ ? COLOR_BTNTEXT : COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

LRESULT CALLBACK Win32FormView::PanelProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_COMMAND:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            return SendMessageW(GetParent(hwnd), message, wparam, lparam);
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(hwnd, &paint);
            RECT rect;
            GetClientRect(hwnd, &rect);
            FillRect(dc, &rect, GetSysColorBrush(COLOR_BTNFACE));
            DrawEdge(dc, &rect, BDR_RAISEDOUTER, BF_RECT);
            EndPaint(hwnd, &paint);
            return 0;
        }
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
}

LRESULT CALLBACK Win32FormView::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<Win32FormView*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Win32FormView*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, message, wparam, lparam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        return DefWindowProcW(hwnd, message, wparam, lparam);
    }
    try {
        return self->Handle(hwnd, message, wparam, lparam);
    } catch (...) {
        // Raised again by the next pump (a run then fails) or by the message loop (the box);
        // either way the window stays.
        self->pending_ = std::current_exception();
        return 0;
    }
}

LRESULT Win32FormView::Handle(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CREATE:
            CreateControls();
            AddLogCommands();
            high_contrast_ = high_contrast_query_();
            return 0;
        case WM_SYSCOMMAND:
            if ((wparam & 0xFFF0) == kCopyLogCommand) {
                CopyLog();
                return 0;
            }
            if ((wparam & 0xFFF0) == kSaveLogCommand) {
                SaveLog();
                return 0;
            }
            break;
        case WM_COMMAND: {
            const int id = LOWORD(wparam);
            if (HIWORD(wparam) != BN_CLICKED || !form_) break;
            if (id == ControlId(Control::kBtnStart)) {
                form_->btnStartClick();
                return 0;
            }
            if (id == ControlId(Control::kCkUpdate)) {
                form_->ckUpdateClick(SendMessageW(control(Control::kCkUpdate), BM_GETCHECK, 0, 0) ==
                                     BST_CHECKED);
                return 0;
            }
            break;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            return ColorControl(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam));
        case WM_DPICHANGED:
            Layout(HIWORD(wparam), reinterpret_cast<const RECT*>(lparam));
            return 0;
        case WM_SETTINGCHANGE:
        case WM_SYSCOLORCHANGE:
            // High Contrast turned on or off: the fixed colours give way to the person's.
            FollowContrast();
            break;
        case WM_CLOSE:
            if (form_ && !form_->FormClose()) return 0;  // refused while an update runs
            DestroyWindow(hwnd);
            return 0;
        case WM_QUERYENDSESSION:
            // Shutting down or logging off in the middle of a flash is refused like a close;
            // the block reason tells the user why.
            return busy_ ? FALSE : TRUE;
        case WM_DESTROY:
            hwnd_ = nullptr;
            if (quit_on_destroy_) PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace qvt::win32
