#pragma once

#include <cstdint>

#include "clock.h"

namespace qvt::sim {

// Time that passes only when someone sleeps: a 200-second wait takes microseconds and its
// length can still be measured.
// Can: advance at once by every sleep, and tell the sum. Cannot: let anything happen between
// two sleeps that was not asked for (a simulated event acts when the units are next looked at).
class VirtualClock final : public Clock {
  public:
    void Sleep(std::uint32_t ms) override { now_ms_ += ms; }
    std::uint64_t NowMs() const override { return now_ms_; }

  private:
    std::uint64_t now_ms_ = 0;
};

}  // namespace qvt::sim
