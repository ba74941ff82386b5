#pragma once

#include <cstdint>

#include "awake_hold.h"

namespace qvt::linux_app {

// A "block" inhibitor of logind's (sleep, shutdown and idle) taken over the system bus, held
// as the file descriptor logind hands out: closing it gives the hold back.
// Can: keep a desktop or a laptop left alone from suspending mid-flash, and tell who and why
// to `systemd-inhibit --list`. Cannot: hold anything where there is no logind (a container, a
// minimal system) or no system bus; Hold then says so, within its bound.
class LogindAwakeHold final : public AwakeHold {
  public:
    // A bus that does not answer costs at most this long, once per run.
    static constexpr std::uint64_t kCallTimeoutUs = 2'000'000;

    LogindAwakeHold() = default;
    ~LogindAwakeHold() override { Release(); }
    LogindAwakeHold(const LogindAwakeHold&) = delete;
    LogindAwakeHold& operator=(const LogindAwakeHold&) = delete;

    bool Hold(std::string_view reason) override;
    void Release() override;

  private:
    int fd_ = -1;
};

}  // namespace qvt::linux_app
