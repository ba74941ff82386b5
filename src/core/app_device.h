#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app_driver.h"
#include "bench_look.h"
#include "firmware_image.h"
#include "progress_port.h"

namespace qvt {

inline constexpr std::string_view kAppDeviceNamePrefix = "\\\\.\\QvtUsb2Device";
inline constexpr int kAppDeviceNameCount = 9;  // "\\.\QvtUsb2Device0" to "...8", no more

std::string AppDeviceName(int index);

struct DeviceCensus {
    std::int32_t app_device_count = 0;
    std::int32_t outdated_count = 0;   // the first unit's version is older than the image
    std::uint16_t device_version = 0;  // the first unit's, 0 when it could not be read
    // Every counted unit is asked its version, so that a completion can be confirmed for all
    // of them: each one's reading, in the order they were counted.
    std::vector<VersionReading> versions;
};

// The units in application mode, seen through the maker's driver.
class AppModeUnits {
  public:
    AppModeUnits(AppDriver& driver, const FirmwareImageLoader& image)
        : driver_(driver), image_(image) {}

    // Counts the openable device objects, reads the first one's version and keeps its handle.
    bool CountAppDevices();
    void CloseAppDevice();
    bool ProbeAppMode();
    // The boot-mode request is decided here, in two steps. Whether the run asks at all, from
    // the last census: a unit counted as outdated, or the force box ticked while no boot loader
    // is counted.
    bool BootModeRequestDue(bool force, std::int32_t boot_loaders) const {
        return census_.outdated_count != 0 || (force && boot_loaders == 0);
    }
    // Then the asking: a fresh census, and the command to the unit it finds first when that one
    // is not known to be current (older, or its version unread), or always when forced. False
    // only when no unit was found.
    bool RequestBootMode(ProgressPort& progress, bool force);

    const DeviceCensus& census() const { return census_; }
    bool DriverPresent() const { return driver_.Present(); }
    std::uint16_t image_version() const { return image_.ImageVersion(); }
    bool HoldsHandle() const { return kept_ != nullptr; }

  private:
    // The unit's version word; nullopt when the query failed or brought fewer than 2 bytes.
    static std::optional<std::uint16_t> ReadVersion(DriverDevice& device);

    AppDriver& driver_;
    const FirmwareImageLoader& image_;
    DeviceCensus census_;
    std::unique_ptr<DriverDevice> kept_;
};

}  // namespace qvt
