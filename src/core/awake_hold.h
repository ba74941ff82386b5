#pragma once

#include <string_view>

namespace qvt {

// Keeps the machine from sleeping, suspending when idle or shutting down while a run flashes
// a unit: a laptop left alone must not cut a flash short. The run takes it before the boot
// switch and gives it back when it ends, however it ends.
class AwakeHold {
  public:
    virtual ~AwakeHold() = default;
    // Takes the hold, `reason` for whoever asks the system why it may not sleep; false when the
    // system offers no way (the run goes on regardless, and says so once in the log).
    virtual bool Hold(std::string_view reason) = 0;
    // Gives it back; harmless when nothing is held.
    virtual void Release() = 0;
};

}  // namespace qvt
