#include "app_device.h"

#include <array>

#include "texts.h"
#include "version_text.h"

namespace qvt {

std::string AppDeviceName(int index) {
    return std::string(kAppDeviceNamePrefix) + std::to_string(index);
}

std::optional<std::uint16_t> AppModeUnits::ReadVersion(DriverDevice& device) {
    std::array<std::uint8_t, 2> out{};
    std::size_t returned = 0;
    if (!device.IoControl(IOCTL_QVT_GET_VERSION, nullptr, 0, out.data(), out.size(), returned) ||
        returned < out.size()) {
        return std::nullopt;  // half a version word is no version
    }
    return VersionWord(out[0], out[1]);
}

bool AppModeUnits::CountAppDevices() {
    census_ = DeviceCensus{};
    // A handle left from an earlier census without its close would otherwise leak here.
    kept_.reset();
    for (int index = 0; index < kAppDeviceNameCount; ++index) {
        auto device = driver_.Open(AppDeviceName(index));
        if (!device) continue;
        const auto version = ReadVersion(*device);
        census_.versions.push_back(version);
        if (census_.app_device_count == 0) {
            // The first unit is the one the census describes; a failed query counts it as
            // present and current.
            if (version) {
                census_.device_version = *version;
                if (image_.ImageVersion() > *version) census_.outdated_count = 1;
            }
            kept_ = std::move(device);
        }
        // Devices after the first are only counted and asked; their handle closes as
        // `device` goes.
        ++census_.app_device_count;
    }
    return census_.app_device_count != 0;
}

void AppModeUnits::CloseAppDevice() {
    kept_.reset();
}

bool AppModeUnits::ProbeAppMode() {
    if (!CountAppDevices()) return false;
    CloseAppDevice();
    return true;
}

bool AppModeUnits::RequestBootMode(ProgressPort& progress, bool force) {
    progress.ShowMessage(text::kBootSwitchStart);
    progress.AdvanceProgress();
    if (!CountAppDevices()) {
        progress.ShowMessage(text::kMessageMissing);
        return false;
    }
    if (kept_ && (force || image_.ImageVersion() > census_.device_version)) {
        const std::array<std::uint8_t, 2> command{
            static_cast<std::uint8_t>(kBootModeCommand & 0xFF),
            static_cast<std::uint8_t>(kBootModeCommand >> 8)};
        std::size_t returned = 0;
        kept_->IoControl(IOCTL_QVT_COMMAND, command.data(), command.size(), nullptr, 0, returned);
    }
    CloseAppDevice();
    progress.Pump();
    return true;
}

}  // namespace qvt
