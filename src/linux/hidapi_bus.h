#pragma once

#include "hid_bus.h"

namespace qvt::linux_app {

// HID devices through hidapi's hidraw back end.
class HidapiBus final : public HidBus {
  public:
    HidapiBus();
    ~HidapiBus() override;
    HidapiBus(const HidapiBus&) = delete;
    HidapiBus& operator=(const HidapiBus&) = delete;

    std::optional<std::string> InterfacePath(std::size_t index) override;
    std::unique_ptr<HidDevice> Open(const std::string& path) override;
};

}  // namespace qvt::linux_app
