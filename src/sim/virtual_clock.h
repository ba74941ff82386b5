#pragma once

#include <cstdint>

#include "clock.h"

namespace qvt::sim {

// Time that passes only when someone sleeps: a 200-second wait takes microseconds and its
// length can still be measured.
class VirtualClock final : public Clock {
  public:
    void Sleep(std::uint32_t ms) override { now_ms_ += ms; }
    std::uint64_t NowMs() const override { return now_ms_; }

  private:
    std::uint64_t now_ms_ = 0;
};

}  // namespace qvt::sim
