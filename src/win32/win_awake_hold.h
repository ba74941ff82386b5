#pragma once

#include "awake_hold.h"

namespace qvt::win32 {

// The system stays awake while the GUI thread asks for it (SetThreadExecutionState with
// ES_SYSTEM_REQUIRED | ES_CONTINUOUS); the display may still turn off. Shutdown and log-off
// are refused by the window itself.
// Can: hold and release at once. Cannot: say why to anyone who asks (the shutdown screen's
// reason is the window's), or hold on a system that lacks the call (Hold then says so).
class WinAwakeHold final : public AwakeHold {
  public:
    bool Hold(std::string_view reason) override;
    void Release() override;
};

}  // namespace qvt::win32
