#pragma once

// A control as a screen reader reads it, with a description of the window's own: the system's
// object for the control answers every other question.
// clang-format off
#include <windows.h>
#include <oleacc.h>
// clang-format on

#include <memory>
#include <string>

#include "com_object.h"

namespace qvt::win32 {

// The answer to a screen reader's WM_GETOBJECT for the client area of `control`: the system's
// own object for it (its name, role, value, state and place), described by `description` as it
// reads at each question; no description while it is empty. A screen reader may keep the object
// past a change of the text or past the control itself, so it shares the text. Needs oleacc and
// oleaut32 from System32 and the thread in an apartment; 0 when it cannot be made, which leaves
// the question to the system.
LRESULT AnswerWithDescription(HWND control, WPARAM wparam,
                              std::shared_ptr<const std::wstring> description);

}  // namespace qvt::win32
