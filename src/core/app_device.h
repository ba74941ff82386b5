#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "app_driver.h"
#include "firmware_image.h"
#include "step_display.h"

namespace qvt {

inline constexpr std::string_view kAppDeviceNamePrefix = "\\\\.\\QvtUsb2Device";
inline constexpr int kAppDeviceNameCount = 9;  // "\\.\QvtUsb2Device0" to "...8", no more

std::string AppDeviceName(int index);

struct DeviceCensus {
    std::int32_t app_device_count = 0;
    std::int32_t outdated_count = 0;
    std::uint16_t device_version = 0;
};

// The units in application mode, seen through the maker's driver.
class AppDevice {
  public:
    AppDevice(AppDriver& driver, const FirmwareImageLoader& image)
        : driver_(driver), image_(image) {}

    // Counts the openable device objects, reads the first one's version and keeps its handle.
    bool CountAppDevices();
    void CloseAppDevice();
    bool ProbeAppMode();
    // Asks the unit to restart into its boot loader (when it is outdated, or always when forced);
    // false only when no unit was found.
    bool RequestBootMode(StepDisplay& display, bool force);

    const DeviceCensus& census() const { return census_; }
    bool HoldsHandle() const { return kept_ != nullptr; }

  private:
    AppDriver& driver_;
    const FirmwareImageLoader& image_;
    DeviceCensus census_;
    std::unique_ptr<DriverDevice> kept_;
};

}  // namespace qvt
