#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app_driver.h"
#include "hid_bus.h"

namespace qvt::sim {

class SimulatedWorld;

// The maker's application-mode driver as the simulated units present it: the device objects
// "\\.\QvtUsb2Device0" to "...8", one per unit in application mode by its driver index. An
// object opens once at a time, as its read-only sharing with write access allows.
// Can: everything the real driver's two control codes do, with the scenario's faults. Cannot:
// be absent and present in one session ("app_driver" is fixed for it).
class SimAppDriver final : public AppDriver {
  public:
    SimAppDriver(SimulatedWorld& world, bool present) : world_(world), present_(present) {}
    bool Present() const override { return present_; }
    std::unique_ptr<DriverDevice> Open(const std::string& name) override;
    void Closed(int object) { open_objects_.erase(object); }

  private:
    SimulatedWorld& world_;
    bool present_;
    std::set<int> open_objects_;
};

// The HID interfaces present: the scenario's foreign devices, then every unit in its boot
// loader. A unit's path names its generation, so a path taken before a re-enumeration no
// longer opens.
// Can: bound every transfer as the product's overlapped I/O does, in the clock's time, with
// the host's input buffer per handle and the scenario's faults. Cannot: reproduce an operating
// system's own quirks (the twins put the same units behind Wine's and umockdev's stacks).
class SimHidBus final : public HidBus {
  public:
    explicit SimHidBus(SimulatedWorld& world) : world_(world) {}
    std::optional<std::string> InterfacePath(std::size_t index) override;
    std::unique_ptr<HidDevice> Open(const std::string& path) override;
    std::optional<HidAttributes> Inspect(const std::string& path) override;
    // The paths present now, in listing order; looking is not a search.
    std::vector<std::string> PresentPaths() const;

  private:
    SimulatedWorld& world_;
};

}  // namespace qvt::sim
