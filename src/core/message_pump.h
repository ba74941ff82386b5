#pragma once

namespace qvt {

// The window's message queue, pumped between the steps of long work so that the window
// repaints and answers while the GUI thread is busy.
class MessagePump {
  public:
    virtual ~MessagePump() = default;
    // Processes all pending window messages once.
    virtual void Pump() = 0;
};

}  // namespace qvt
