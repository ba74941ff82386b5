#pragma once

#include <chrono>
#include <thread>

#include "clock.h"

namespace qvt::twin {

// The twin plays its units in real time: the program it faces waits in real time too.
class RealClock final : public Clock {
  public:
    void Sleep(std::uint32_t ms) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    std::uint64_t NowMs() const override {
        return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now().time_since_epoch())
                                              .count());
    }
};

}  // namespace qvt::twin
