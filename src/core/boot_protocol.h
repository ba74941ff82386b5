#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "boot_loader_link.h"
#include "boot_reports.h"
#include "clock.h"
#include "firmware_image.h"
#include "window.h"

namespace qvt {

inline constexpr int kDiscoveryTries = 200;

using FlashBytes = std::array<std::uint8_t, kProgramAreaSize>;

// The four boot-loader procedures. Each waits for the boot loader, runs its commands, closes
// the handle and reports its outcome as a result, a message and log lines.
class BootProtocol {
  public:
    BootProtocol(BootLoaderLink& link, FirmwareImageLoader& image, Clock& clock)
        : link_(link), image_(image), clock_(clock) {}

    bool EraseDevice(Window& window);
    bool BlankCheck(Window& window);
    bool ProgramVerify(Window& window);
    bool ResetDevice(Window& window);

  private:
    struct DiscoveryLog {
        std::string_view count;
        std::string_view gave_up;
    };
    bool DiscoveryWait(Window& window, const DiscoveryLog& log);
    // Two passes of the range walk against flash-indexed expected bytes. On a difference:
    // the failure message, UpdateState 0, the handle closed, then the chunk's address logged.
    bool ReadBack(Window& window, BootCommandReport& request, const FlashBytes& expected,
                  std::string_view failure_message, std::string_view failed_at_log);
    // One pass; the failing chunk's address, if any.
    std::optional<std::uint32_t> ReadPass(Window& window, BootCommandReport& request,
                                          BootReplyReport& reply, const FlashBytes& expected);
    bool ReadExchange(Window& window, BootCommandReport& request, BootReplyReport& reply,
                      std::uint32_t address, std::size_t count, const std::uint8_t* expected);
    int SendToEvery(const BootCommandReport& report);

    BootLoaderLink& link_;
    FirmwareImageLoader& image_;
    Clock& clock_;
};

}  // namespace qvt
