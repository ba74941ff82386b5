// The control's own procedure is kept in a property of the control, so that each control finds
// its own whatever the procedure in front of it.
#include "control_subclass.h"

namespace qvt::win32 {
namespace {

constexpr wchar_t kOriginalProc[] = L"QvtOriginalProc";

}  // namespace

void Subclass(HWND control, WNDPROC proc) {
    SetPropW(control, kOriginalProc,
             reinterpret_cast<HANDLE>(GetWindowLongPtrW(control, GWLP_WNDPROC)));
    SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
}

LRESULT CallOriginal(HWND control, UINT message, WPARAM wparam, LPARAM lparam) {
    const auto original = reinterpret_cast<WNDPROC>(GetPropW(control, kOriginalProc));
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        RemovePropW(control, kOriginalProc);
    }
    return CallWindowProcW(original, control, message, wparam, lparam);
}

}  // namespace qvt::win32
