#pragma once

#include <windows.h>

#include "clock.h"
#include "painting_wait.h"

namespace qvt::win32 {

// The GUI thread's blocking sleep, as the product has always waited; it only keeps painting.
// Can: wait the milliseconds asked (within the system timer's resolution) while the window
// repaints and answers messages sent to it. Cannot: deliver input meanwhile (it waits for the
// next pump) or be shortened by anything.
class WinClock final : public Clock {
  public:
    void Sleep(std::uint32_t ms) override { PaintingWait(nullptr, ms); }
    std::uint64_t NowMs() const override { return GetTickCount64(); }
};

}  // namespace qvt::win32
