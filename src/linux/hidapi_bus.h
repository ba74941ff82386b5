#pragma once

#include "clock.h"
#include "hid_bus.h"
#include "hidapi_calls.h"

namespace qvt::linux_app {

// HID devices through hidapi. A device is one interface however many top-level collections
// hidapi lists it with, so the bus counts paths, not entries.
class HidapiBus final : public HidBus {
  public:
    HidapiBus(HidapiCalls& calls, Clock& clock) : calls_(calls), clock_(clock) {}

    std::optional<std::string> InterfacePath(std::size_t index) override;
    std::unique_ptr<HidDevice> Open(const std::string& path) override;

  private:
    HidapiCalls& calls_;
    Clock& clock_;
};

}  // namespace qvt::linux_app
