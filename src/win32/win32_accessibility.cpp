// What a screen reader hears: the standard controls answer its questions themselves (MSAA's
// proxies); the window tells it when what they say has changed, so that each new status and
// each new message is read out as it is shown. The hidden log is hidden from it as from the eye.
//
// The bar is described by the phase under way and how long it has taken. Oleacc's dynamic
// annotation (IAccPropServices) would say so in one call on Windows, but Wine has only stubs of
// it; the bar answers WM_GETOBJECT itself instead, with the system's own object for it in all
// but the description, which works on both.
#include "control_subclass.h"
#include "described_accessible.h"
#include "win32_window_view.h"

namespace qvt::win32 {

void Win32WindowView::AnnounceMessage() {
    HWND message = control(Control::kEdtMsg);
    NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, message, OBJID_CLIENT, CHILDID_SELF);
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, message, OBJID_CLIENT, CHILDID_SELF);
}

void Win32WindowView::AnnounceStatus() {
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, control(Control::kPnlMsg1), OBJID_CLIENT, CHILDID_SELF);
}

void Win32WindowView::AnswerForTheBar() {
    HWND bar = control(Control::kProgBar1);
    SetWindowLongPtrW(bar, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    Subclass(bar, BarProc);
}

void Win32WindowView::DescribeBar(const std::wstring& text) {
    if (*bar_description_ == text) return;
    // Every object a screen reader holds for the bar reads the new text from here.
    *bar_description_ = text;
    NotifyWinEvent(EVENT_OBJECT_DESCRIPTIONCHANGE, control(Control::kProgBar1), OBJID_CLIENT,
                   CHILDID_SELF);
}

LRESULT CALLBACK Win32WindowView::BarProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    // The bar's client object; the other objects a reader may ask for (its frame, UI
    // Automation's) stay the system's.
    if (message == WM_GETOBJECT && static_cast<DWORD>(lparam) == static_cast<DWORD>(OBJID_CLIENT)) {
        auto* self = reinterpret_cast<Win32WindowView*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self) {
            try {
                if (!self->apartment_) self->apartment_.emplace();
                if (self->apartment_->in_apartment()) {
                    if (const LRESULT answer =
                            AnswerWithDescription(hwnd, wparam, self->bar_description_)) {
                        return answer;
                    }
                }
            } catch (...) {
                // Out of memory: the system answers as it would have without us.
            }
        }
    }
    return CallOriginal(hwnd, message, wparam, lparam);
}

}  // namespace qvt::win32
