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

// An open HID device. The adapter behind it owns the waiting and cancelling: when a call
// returns, no transfer is pending on the device. Closing is destruction.
class HidDevice {
  public:
    virtual ~HidDevice() = default;
    virtual bool GetAttributes(HidAttributes& attributes) = 0;
    virtual Transfer Write(std::span<const std::uint8_t> report, std::uint32_t timeout_ms) = 0;
    virtual Transfer Read(std::span<std::uint8_t> report, std::uint32_t timeout_ms) = 0;
};

class HidBus {
  public:
    virtual ~HidBus() = default;
    // The device path of the present HID interface at this index; nullopt past the last one.
    // The set of present interfaces is taken afresh on every call.
    virtual std::optional<std::string> InterfacePath(std::size_t index) = 0;
    // Opens a path for overlapped read and write, sharing read and write. Null on failure.
    virtual std::unique_ptr<HidDevice> Open(const std::string& path) = 0;
};

}  // namespace qvt
