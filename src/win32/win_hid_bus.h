#pragma once

#include "hid_bus.h"

namespace qvt::win32 {

// HID devices through the HID class library and the device-installation services.
class WinHidBus final : public HidBus {
  public:
    std::optional<std::string> InterfacePath(std::size_t index) override;
    std::unique_ptr<HidDevice> Open(const std::string& path) override;
};

}  // namespace qvt::win32
