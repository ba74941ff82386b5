#pragma once

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
    // One pass over the programmed range; the failing chunk's address, if any.
    std::optional<std::uint32_t> ReadPass(Window& window, BootCommandReport& request,
                                          BootReplyReport& reply, const std::uint8_t* expected,
                                          bool expected_follows_address);
    bool ReadExchange(Window& window, BootCommandReport& request, BootReplyReport& reply,
                      std::uint32_t address, std::size_t count, const std::uint8_t* expected);
    int SendToEvery(const BootCommandReport& report);

    BootLoaderLink& link_;
    FirmwareImageLoader& image_;
    Clock& clock_;
};

}  // namespace qvt
