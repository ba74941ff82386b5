#include "hidapi_bus.h"

#include <hidapi/hidapi.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace qvt::linux_app {
namespace {

struct EnumerationDeleter {
    void operator()(hid_device_info* list) const { hid_free_enumeration(list); }
};

class HidapiDevice final : public HidDevice {
  public:
    explicit HidapiDevice(hid_device* device) : device_(device) {}
    ~HidapiDevice() override { hid_close(device_); }
    HidapiDevice(const HidapiDevice&) = delete;
    HidapiDevice& operator=(const HidapiDevice&) = delete;

    bool GetAttributes(HidAttributes& attributes) override {
        const hid_device_info* info = hid_get_device_info(device_);  // owned by the device
        if (!info) return false;
        attributes = {info->vendor_id, info->product_id, info->release_number};
        return true;
    }

    // hidraw has no way to cancel a write, but its writes end on their own (completed or
    // failed) within the kernel's USB timeout, so none is left pending. One that took longer
    // than the bound is reported as timed out, as the bound promises.
    Transfer Write(std::span<const std::uint8_t> report, std::uint32_t timeout_ms) override {
        const auto start = std::chrono::steady_clock::now();
        const int written = hid_write(device_, report.data(), report.size());
        const auto elapsed = std::chrono::steady_clock::now() - start;
        if (written < 0) return Transfer::kFailed;
        if (elapsed > std::chrono::milliseconds(timeout_ms)) return Transfer::kTimedOut;
        return Transfer::kCompleted;
    }

    // A device without numbered reports delivers the 64 data bytes without the report-ID
    // byte; the caller's buffer keeps the 65-byte layout with ID 0 in front.
    Transfer Read(std::span<std::uint8_t> report, std::uint32_t timeout_ms) override {
        std::array<std::uint8_t, kReportSize> buffer{};
        const int read = hid_read_timeout(device_, buffer.data() + 1, buffer.size() - 1,
                                          static_cast<int>(timeout_ms));
        if (read < 0) return Transfer::kFailed;
        if (read == 0) return Transfer::kTimedOut;
        std::copy_n(buffer.begin(), std::min(report.size(), buffer.size()), report.begin());
        return Transfer::kCompleted;
    }

  private:
    hid_device* device_;
};

}  // namespace

HidapiBus::HidapiBus() {
    hid_init();
}
HidapiBus::~HidapiBus() {
    hid_exit();
}

std::optional<std::string> HidapiBus::InterfacePath(std::size_t index) {
    // A fresh list for every index, as devices come and go between two calls.
    std::unique_ptr<hid_device_info, EnumerationDeleter> list(hid_enumerate(0, 0));
    std::size_t at = 0;
    for (const hid_device_info* info = list.get(); info; info = info->next, ++at) {
        if (at == index) return std::string(info->path ? info->path : "");
    }
    return std::nullopt;
}

std::unique_ptr<HidDevice> HidapiBus::Open(const std::string& path) {
    hid_device* device = hid_open_path(path.c_str());
    if (!device) return nullptr;
    return std::make_unique<HidapiDevice>(device);
}

}  // namespace qvt::linux_app
