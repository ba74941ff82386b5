#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "boot_loader_link.h"
#include "boot_reports.h"
#include "clock.h"
#include "firmware_image.h"
#include "step_display.h"

namespace qvt {

inline constexpr int kDiscoveryTries = 200;

using FlashBytes = std::array<std::uint8_t, kProgramAreaSize>;

// The four boot-loader procedures. Each waits for the boot loader, runs its commands, closes
// the handle and reports its outcome as its result, a message and log lines; the run decides
// what follows.
class BootProtocol {
  public:
    BootProtocol(BootLoaderLink& link, FirmwareImageLoader& loader, const FirmwareImage& image,
                 Clock& clock)
        : link_(link), loader_(loader), image_(image), clock_(clock) {}

    bool EraseDevice(StepDisplay& display);
    bool BlankCheck(StepDisplay& display);
    // Programs the freshly reloaded image, then verifies it; `verification_begins` is called
    // between the two phases. An image that does not reload fails the step before any report.
    bool ProgramVerify(StepDisplay& display, const std::function<void()>& verification_begins = {});
    // `reset_follows` is called once the boot loaders are found, just before the reset report.
    bool ResetDevice(StepDisplay& display, const std::function<void()>& reset_follows = {});

  private:
    struct DiscoveryLog {
        std::string_view count;
        std::string_view gave_up;
    };
    bool DiscoveryWait(StepDisplay& display, const DiscoveryLog& log);
    // Two passes of the range walk against flash-indexed expected bytes. On a difference: the
    // failure message, the handle closed, then the chunk's address logged.
    bool ReadBack(StepDisplay& display, BootCommandReport& request, const FlashBytes& expected,
                  std::string_view failure_message, std::string_view failed_at_log);
    // One pass; the failing chunk's address, if any.
    std::optional<std::uint32_t> ReadPass(StepDisplay& display, BootCommandReport& request,
                                          BootReplyReport& reply, const FlashBytes& expected);
    bool ReadExchange(StepDisplay& display, BootCommandReport& request, BootReplyReport& reply,
                      std::uint32_t address, std::size_t count, const std::uint8_t* expected);
    int SendToEvery(const BootCommandReport& report);

    BootLoaderLink& link_;
    FirmwareImageLoader& loader_;
    const FirmwareImage& image_;
    Clock& clock_;
};

}  // namespace qvt
