// The keyboard: the window is a dialog to its keys. The dialog manager moves the focus with Tab
// and Shift+Tab; Esc and Enter do nothing, since the window has no Cancel and no default button;
// only space on the focused Start (or a click) starts a flash. The focus rests where FirstFocus
// puts it, never on the disabled Start.
#include "control_subclass.h"
#include "win32_window_view.h"

namespace qvt::win32 {
namespace {

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

void Win32WindowView::KeepKeysToTheDialog() {
    Subclass(control(Control::kEdtMsg), MessageProc);
    Subclass(control(Control::kBtnStart), StartProc);
}

// Whether the dialog manager took the message as one of its keys; both message loops ask.
bool Win32WindowView::DialogKey(MSG& message) {
    return hwnd_ && IsDialogMessageW(hwnd_, &message);
}

void Win32WindowView::FocusFirstEnabled() {
    SetFocus(control(FirstFocus(IsWindowEnabled(control(Control::kBtnStart)) != FALSE,
                                IsWindowEnabled(control(Control::kCkUpdate)) != FALSE)));
}

}  // namespace qvt::win32
