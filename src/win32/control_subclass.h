#pragma once

// A procedure of the window's own in front of a standard control's: it sees each message first,
// and hands on what it does not answer itself.
#include <windows.h>

namespace qvt::win32 {

// Puts `proc` in front of the control's own procedure.
void Subclass(HWND control, WNDPROC proc);
// Hands a message on to the control's own procedure, and puts that procedure back as the
// control goes.
LRESULT CallOriginal(HWND control, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace qvt::win32
