#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace qvt {

inline constexpr std::uint32_t IOCTL_QVT_GET_VERSION = 0x00222048;
inline constexpr std::uint32_t IOCTL_QVT_COMMAND = 0x0022205C;
inline constexpr std::uint16_t kBootModeCommand = 0x0255;

// One open device object of the maker's application-mode driver: one unit in application
// mode. Calls are synchronous. Closing is destruction.
class DriverDevice {
  public:
    virtual ~DriverDevice() = default;
    // A synchronous device-control call; true when the driver reports success, with the number
    // of output bytes it filled in `returned`.
    virtual bool IoControl(std::uint32_t code, const std::uint8_t* in, std::size_t in_size,
                           std::uint8_t* out, std::size_t out_size, std::size_t& returned) = 0;
};

class AppDriver {
  public:
    virtual ~AppDriver() = default;
    // Whether this platform has the maker's driver at all: a capability, not a census. Without
    // it no unit in application mode is ever seen, whatever is plugged in.
    virtual bool Present() const = 0;
    // Opens one of the driver's device objects by its name. The driver lets one program hold
    // an object at a time; null when the object is not there or is held. Never creates one.
    virtual std::unique_ptr<DriverDevice> Open(const std::string& name) = 0;
};

}  // namespace qvt
