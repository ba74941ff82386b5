#pragma once

#include <chrono>
#include <thread>

#include "clock.h"

namespace qvt::linux_app {

// Real time: the program's sleeps block the GUI thread, as the product's do.
class SteadyClock final : public Clock {
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

}  // namespace qvt::linux_app
