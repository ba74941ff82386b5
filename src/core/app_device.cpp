#include "app_device.h"

#include <array>

#include "texts.h"

namespace qvt {

std::string AppDeviceName(int index) {
    return std::string(kAppDeviceNamePrefix) + std::to_string(index);
}

bool AppDevice::CountAppDevices() {
    census_ = DeviceCensus{};
    // A handle left from an earlier census without its close would otherwise leak here.
    kept_.reset();
    for (int index = 0; index < kAppDeviceNameCount; ++index) {
        auto device = driver_.Open(AppDeviceName(index));
        if (!device) continue;
        if (census_.app_device_count == 0) {
            std::array<std::uint8_t, 2> out{};
            if (device->IoControl(IOCTL_QVT_GET_VERSION, nullptr, 0, out.data(), out.size())) {
                census_.device_version = static_cast<std::uint16_t>(out[0] | (out[1] << 8));
                if (image_.ImageVersion() > census_.device_version) census_.outdated_count = 1;
            }
            kept_ = std::move(device);
        }
        // Devices after the first are only counted; their handle closes as `device` goes.
        ++census_.app_device_count;
    }
    return census_.app_device_count != 0;
}

void AppDevice::CloseAppDevice() {
    kept_.reset();
}

bool AppDevice::ProbeAppMode() {
    if (!CountAppDevices()) return false;
    CloseAppDevice();
    return true;
}

bool AppDevice::RequestBootMode(StepDisplay& display, bool force) {
    display.ShowMessage(text::kBootSwitchStart);
    display.AdvanceProgress();
    if (!CountAppDevices()) {
        display.ShowMessage(text::kMessageMissing);
        return false;
    }
    if (kept_ && (force || image_.ImageVersion() > census_.device_version)) {
        const std::array<std::uint8_t, 2> command{
            static_cast<std::uint8_t>(kBootModeCommand & 0xFF),
            static_cast<std::uint8_t>(kBootModeCommand >> 8)};
        kept_->IoControl(IOCTL_QVT_COMMAND, command.data(), command.size(), nullptr, 0);
    }
    CloseAppDevice();
    display.Pump();
    return true;
}

}  // namespace qvt
