#pragma once

#include <string_view>

#include "message_pump.h"

namespace qvt {

// What a step of the run shows while it works: the message, log lines and the bar's steps.
class FormDisplay : public MessagePump {
  public:
    // Replaces the whole message text.
    virtual void ShowMessage(std::string_view text) = 0;
    virtual void AppendLog(std::string_view line) = 0;
    // One step of the bar for the run's current state, then a pump.
    virtual void AdvanceProgress() = 0;
};

}  // namespace qvt
