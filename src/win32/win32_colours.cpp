// The colours: the bar's, through the native progress bar's own message; the status panel's,
// painted by the window; the message's on the button face. Under High Contrast each gives way to
// the colours the person chose, and comes back when the setting is off again.
// clang-format off
#include "win32_window_view.h"
#include <commctrl.h>
// clang-format on

namespace qvt::win32 {

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

void Win32WindowView::ShowBarColor(std::uint32_t color) {
    bar_color_ = color;
    // Under High Contrast the bar takes the colour the person chose (CLR_DEFAULT).
    SendMessageW(control(Control::kProgBar1), kPbmSetBarColor, 0,
                 static_cast<LPARAM>(high_contrast_ ? CLR_DEFAULT : ToColorRef(color)));
}

std::pair<COLORREF, COLORREF> Win32WindowView::StatusColours() const {
    if (high_contrast_) return {GetSysColor(COLOR_BTNTEXT), GetSysColor(COLOR_BTNFACE)};
    return {ToColorRef(status_.text_color), ToColorRef(status_.background)};
}

void Win32WindowView::RenewStatusBrush() {
    // The panel asks for its brush when it next paints; the old one is not in use by then.
    status_brush_.reset(CreateSolidBrush(StatusColours().second));
}

void Win32WindowView::FollowContrast() {
    // Everything painted again from the colours as they now are: the scheme's may have changed
    // with the setting, and the button face that some states use may have changed on its own.
    high_contrast_ = high_contrast_query_();
    if (bar_color_) ShowBarColor(*bar_color_);
    RenewStatusBrush();
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

LRESULT Win32WindowView::ColorControl(HDC dc, HWND child) {
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

// The panel around the bar, Start and the force box: a raised edge on the button face. Its
// children's colour questions go to the window, which answers them all.
LRESULT CALLBACK Win32WindowView::PanelProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
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

}  // namespace qvt::win32
