#pragma once

#include "clock.h"
#include "hid_bus.h"
#include "hidapi_calls.h"

namespace qvt::linux_app {

// HID interfaces through hidapi's hidraw backend.
// Can: list interfaces afresh (one per path, however many collections hidapi lists it with),
// write whole reports, read with a time-out that poll honours.
// Cannot: cancel a write. hidraw's writes end on their own within the kernel's USB time-out,
// so a slow one is reported as timed out once it has ended, never left pending.
class HidapiBus final : public HidBus {
  public:
    HidapiBus(HidapiCalls& calls, Clock& clock) : calls_(calls), clock_(clock) {}

    std::optional<std::string> InterfacePath(std::size_t index) override;
    std::unique_ptr<HidDevice> Open(const std::string& path) override;
    std::optional<HidAttributes> Inspect(const std::string& path) override;

  private:
    HidapiCalls& calls_;
    Clock& clock_;
};

}  // namespace qvt::linux_app
