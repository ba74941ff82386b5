#pragma once

// The box that tells a person why the window did not close: shown without holding the run.
#include <windows.h>

#include <string>
#include <string_view>

#include "unique_handle.h"

namespace qvt::win32 {

// A message box with one OK button, on a thread of its own. The run pumps from inside the
// click on Start; a message box of the window's own thread would run its modal loop inside
// that pump, and the run would stand until someone answered it. On its own thread the box
// waits for its answer alone, and the run goes on behind it.
// Can: show one box at a time (asked again while shown, it comes to the front), be read by a
// screen reader as any message box is. Cannot: stay above the window that refused the close
// (it has no owner: an owner on another thread would share its input with the run's thread).
class RefusalBox {
  public:
    RefusalBox() = default;
    // A box still shown is closed as if OK had been pressed, and its thread waited for.
    ~RefusalBox();
    RefusalBox(const RefusalBox&) = delete;
    RefusalBox& operator=(const RefusalBox&) = delete;

    void Show(std::string_view text);
    // The box's window while it is shown; null before its thread has made it, or after.
    HWND Window() const;

  private:
    static DWORD WINAPI Run(void* self);
    bool Shown() const;

    std::wstring text_;
    std::wstring title_;
    UniqueEvent thread_;  // a kernel handle, closed as an event's is
    DWORD thread_id_ = 0;
};

}  // namespace qvt::win32
