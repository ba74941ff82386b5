#pragma once

#include <sys/prctl.h>

#include <chrono>
#include <thread>

#include "clock.h"

namespace qvt::linux_app {

// Real time: the program's sleeps block the GUI thread, as the product's do.
// Can: wait the milliseconds asked on the monotonic clock, with the thread's timer slack set
// to its least. Cannot: pump while it waits, or be shortened by a signal (a sleep that a signal
// interrupts sleeps on).
class SteadyClock final : public Clock {
  public:
    // The kernel may let a sleep run 50 us long by default, to batch wake-ups; over the
    // thousands of short sleeps of a run that adds up, so the thread asks for none.
    SteadyClock() { prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL); }

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
