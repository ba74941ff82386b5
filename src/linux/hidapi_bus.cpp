#include "hidapi_bus.h"

#include <algorithm>

namespace qvt::linux_app {
namespace {

class HidapiDevice final : public HidDevice {
  public:
    HidapiDevice(HidapiCalls& calls, Clock& clock, HidapiCalls::Handle device)
        : calls_(calls), clock_(clock), device_(device) {}
    ~HidapiDevice() override { calls_.Close(device_); }
    HidapiDevice(const HidapiDevice&) = delete;
    HidapiDevice& operator=(const HidapiDevice&) = delete;

    bool GetAttributes(HidAttributes& attributes) override {
        const auto info = calls_.DeviceInfo(device_);
        if (!info) return false;
        attributes = {info->vendor_id, info->product_id, info->release};
        return true;
    }

    // The report goes out whole: its first byte is the report ID, 0 for a device without
    // numbered reports, as hidapi expects. hidraw has no way to cancel a write, but its writes
    // end on their own within the kernel's USB time-out, so none is left pending. A write the
    // device never takes ends there with an error, after 5 s: one that took longer than the
    // bound is reported as timed out, whatever its result, as the bound promises.
    Transfer Write(std::span<const std::uint8_t> report, std::uint32_t timeout_ms) override {
        const std::uint64_t start = clock_.NowMs();
        const int written = calls_.Write(device_, report.data(), report.size());
        if (clock_.NowMs() - start > timeout_ms) return Transfer::kTimedOut;
        if (written < 0) return Transfer::kFailed;
        return Transfer::kCompleted;
    }

    // A device without numbered reports delivers the 64 data bytes without the report-ID
    // byte; the report keeps the 65-byte layout with ID 0 in front, and a short reply's tail
    // is zero, not left from the reply before.
    Transfer Read(std::span<std::uint8_t> report, std::uint32_t timeout_ms) override {
        std::fill(report.begin(), report.end(), std::uint8_t{0});
        const int read = calls_.ReadTimeout(device_, report.data() + 1, report.size() - 1,
                                            static_cast<int>(timeout_ms));
        if (read < 0) return Transfer::kFailed;
        if (read == 0) return Transfer::kTimedOut;
        return Transfer::kCompleted;
    }

  private:
    HidapiCalls& calls_;
    Clock& clock_;
    HidapiCalls::Handle device_;
};

}  // namespace

std::optional<std::string> HidapiBus::InterfacePath(std::size_t index) {
    // A fresh list for every index, as devices come and go between two calls; each path once.
    std::vector<std::string> paths;
    for (std::string& path : calls_.EnumeratePaths()) {
        if (std::find(paths.begin(), paths.end(), path) == paths.end()) {
            paths.push_back(std::move(path));
        }
    }
    if (index >= paths.size()) return std::nullopt;
    return paths[index];
}

std::unique_ptr<HidDevice> HidapiBus::Open(const std::string& path) {
    HidapiCalls::Handle device = calls_.Open(path);
    if (!device) return nullptr;
    return std::make_unique<HidapiDevice>(calls_, clock_, device);
}

std::optional<HidAttributes> HidapiBus::Inspect(const std::string& path) {
    const auto info = calls_.ListedInfo(path);
    if (!info) return std::nullopt;
    return HidAttributes{info->vendor_id, info->product_id, info->release};
}

}  // namespace qvt::linux_app
