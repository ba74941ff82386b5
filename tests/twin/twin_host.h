#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app_driver.h"
#include "clock.h"
#include "firmware_layout.h"
#include "hid_bus.h"
#include "scenario.h"
#include "sim_unit.h"
#include "simulated_world.h"

namespace qvt::twin {

// One HID interface the operating system is to list.
struct TwinHid {
    std::string path;  // the simulated bus's path: it names the unit and its enumeration
    HidAttributes attributes;
    bool operator==(const TwinHid& other) const {
        return path == other.path && attributes.vendor_id == other.attributes.vendor_id &&
               attributes.product_id == other.attributes.product_id &&
               attributes.version == other.attributes.version;
    }
};

// What the bench shows the operating system at one moment.
struct Inventory {
    std::vector<int> app_objects;  // device-object numbers of the units in application mode
    std::vector<TwinHid> hids;     // foreign devices, then the units in their boot loaders
    bool operator==(const Inventory&) const = default;
};

// The simulated units of a scenario, played in real time behind an operating system's device
// stack. The stack's requests arrive as calls on handles the stack opened; every answer is the
// model's. What belongs to the operating system rather than to the unit (a reply taken for a
// read that was cancelled meanwhile goes back to the front of that handle's queue) is kept
// here, never in the model.
class TwinHost {
  public:
    using Handle = std::uint32_t;

    TwinHost(Clock& clock, sim::Scenario scenario);

    // Lets time act, then lists what is there.
    Inventory Look();

    // 0 when the device cannot be opened (gone, or a device object already held).
    Handle OpenObject(int number);
    Handle OpenHid(const std::string& path);
    void Close(Handle handle);

    // The attributes of an open HID handle; false once its unit has left.
    bool Attributes(Handle handle, HidAttributes& attributes);
    bool IoControl(Handle handle, std::uint32_t code, std::span<const std::uint8_t> in,
                   std::span<std::uint8_t> out, std::size_t& returned);
    // kTimedOut: the unit does not take the report; the request stays pending until the
    // stack cancels it.
    Transfer Write(Handle handle, std::span<const std::uint8_t> report);
    enum class Input { kReport, kNothing, kGone };
    // The oldest input report waiting for this handle, without waiting.
    Input TakeInput(Handle handle, sim::WireReport& report);
    // A report taken for a read that was cancelled before it could complete.
    void GiveBack(Handle handle, const sim::WireReport& report);

    // How each unit ended: its flash against the shipped image, its mode and version.
    std::vector<std::string> Account() const;
    // Whether unit 0 holds the image and runs it at the image's version.
    bool UnitCurrent(std::size_t unit) const;
    const sim::SimulatedWorld& world() const { return world_; }

  private:
    struct Open {
        std::unique_ptr<DriverDevice> object;
        std::unique_ptr<HidDevice> hid;
        std::deque<sim::WireReport> given_back;
    };
    Open* Find(Handle handle);

    sim::SimulatedWorld world_;
    FirmwareImage image_{};
    std::uint16_t image_version_ = 0;
    std::map<Handle, Open> open_;
    Handle next_ = 1;
};

}  // namespace qvt::twin
