#pragma once

#include "hid_bus.h"

namespace qvt::win32 {

// HID interfaces through the device-installation services and the HID class library.
// Can: list present interfaces afresh, open them shared for overlapped I/O, bound each
// transfer by an event wait and cancel what did not finish (CancelIo), so nothing stays pending.
// Cannot: tell two units apart beyond their vendor and product IDs.
class WinHidBus final : public HidBus {
  public:
    std::optional<std::string> InterfacePath(std::size_t index) override;
    std::unique_ptr<HidDevice> Open(const std::string& path) override;
    std::optional<HidAttributes> Inspect(const std::string& path) override;
};

}  // namespace qvt::win32
