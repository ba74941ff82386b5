#pragma once

#include <cstdint>

namespace qvt {

// Every wait of the updater goes through this port, so that tests and the simulator can run a
// 200-second wait in virtual time and still measure it.
class Clock {
  public:
    virtual ~Clock() = default;
    // Blocks the calling (GUI) thread; no message is pumped while it sleeps.
    virtual void Sleep(std::uint32_t ms) = 0;
    // Milliseconds since an arbitrary origin; only differences are meaningful.
    virtual std::uint64_t NowMs() const = 0;
};

}  // namespace qvt
