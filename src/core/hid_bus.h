#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace qvt {

inline constexpr std::size_t kReportSize = 65;

struct HidAttributes {
    std::uint16_t vendor_id = 0;
    std::uint16_t product_id = 0;
    std::uint16_t version = 0;
};

enum class Transfer {
    kCompleted,  // the transfer finished successfully within its bound
    kFailed,     // it failed at once or completed with an error
    kTimedOut,   // it did not finish within its bound and was cancelled
};

// One open HID interface: what the boot loader's link may ask of it.
//
// - Reports are 65 bytes with the report ID first (0: the boot loader numbers no reports),
//   in both directions, whatever the operating system does with that byte on the wire.
// - Write sends one output report and Read takes one input report, each within its bound in
//   milliseconds. The adapter owns the waiting and cancelling: when a call returns, nothing is
//   pending on the interface, and a reply that comes later goes to a later Read.
// - A Read that does not complete may have written anything into `report`; only kCompleted
//   makes its bytes a reply. (The link keeps the caller's buffer; see ReadBootReport.)
// - After the unit has left the bus, a handle opened before stays harmless: its transfers
//   fail or time out and never reach a unit that came back in its place. Closing is
//   destruction, and is always allowed.
class HidDevice {
  public:
    virtual ~HidDevice() = default;
    // Vendor, product and version as the interface declares them; false when it will not say.
    virtual bool GetAttributes(HidAttributes& attributes) = 0;
    virtual Transfer Write(std::span<const std::uint8_t> report, std::uint32_t timeout_ms) = 0;
    virtual Transfer Read(std::span<std::uint8_t> report, std::uint32_t timeout_ms) = 0;
};

// The HID interfaces present on the machine.
class HidBus {
  public:
    virtual ~HidBus() = default;
    // The path of the present HID interface at this index; nullopt past the last one. The
    // interfaces are listed afresh on every call, as units come and go between two calls.
    virtual std::optional<std::string> InterfacePath(std::size_t index) = 0;
    // Opens an interface for reports both ways, beside any other program that has it open.
    // Null when it cannot be opened (gone, refused, not a HID interface).
    virtual std::unique_ptr<HidDevice> Open(const std::string& path) = 0;
    // What an interface declares (vendor, product, version), without opening it for reports:
    // a check that must not touch a unit reads this. Nullopt when it will not say.
    virtual std::optional<HidAttributes> Inspect(const std::string& path) = 0;
};

}  // namespace qvt
