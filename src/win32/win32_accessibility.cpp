// What a screen reader hears: the standard controls answer its questions themselves (MSAA's
// proxies); the window tells it when what they say has changed, so that each new status and
// each new message is read out as it is shown. The hidden log is hidden from it as from the eye.
#include "win32_form_view.h"

namespace qvt::win32 {

void Win32FormView::AnnounceMessage() {
    HWND message = control(Control::kEdtMsg);
    NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, message, OBJID_CLIENT, CHILDID_SELF);
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, message, OBJID_CLIENT, CHILDID_SELF);
}

void Win32FormView::AnnounceStatus() {
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, control(Control::kPnlMsg1), OBJID_CLIENT, CHILDID_SELF);
}

}  // namespace qvt::win32
