#pragma once

// Standard C++ only: this file belongs to the portable core.
#include <string_view>

#include "message_pump.h"

namespace qvt {

// What the device half (the boot-mode request and the procedures; the link only pumps) may do
// to the window while it works: show a message, append a log line, advance the bar one step, pump.
// Nothing else, so that no line of the protocol can enable Start or paint a result.
class ProgressPort : public MessagePump {
  public:
    // The display conventions: a message replaces the whole text; a log line is appended.
    virtual void ShowMessage(std::string_view text) = 0;
    virtual void AppendLog(std::string_view line) = 0;
    // One step of a procedure: the bar one position up, then a pump.
    virtual void AdvanceProgress() = 0;
};

}  // namespace qvt
