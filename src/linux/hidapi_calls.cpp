#include "hidapi_calls.h"

#include <hidapi/hidapi.h>

#include <memory>

namespace qvt::linux_app {
namespace {

struct EnumerationDeleter {
    void operator()(hid_device_info* list) const { hid_free_enumeration(list); }
};

hid_device* Device(HidapiCalls::Handle handle) {
    return static_cast<hid_device*>(handle);
}

}  // namespace

SystemHidapi::SystemHidapi() {
    hid_init();
}

SystemHidapi::~SystemHidapi() {
    hid_exit();
}

std::vector<std::string> SystemHidapi::EnumeratePaths() {
    std::unique_ptr<hid_device_info, EnumerationDeleter> list(hid_enumerate(0, 0));
    std::vector<std::string> paths;
    for (const hid_device_info* info = list.get(); info; info = info->next) {
        paths.emplace_back(info->path ? info->path : "");
    }
    return paths;
}

std::optional<HidapiCalls::Info> SystemHidapi::ListedInfo(const std::string& path) {
    std::unique_ptr<hid_device_info, EnumerationDeleter> list(hid_enumerate(0, 0));
    for (const hid_device_info* info = list.get(); info; info = info->next) {
        if (info->path && path == info->path) {
            return Info{info->vendor_id, info->product_id, info->release_number};
        }
    }
    return std::nullopt;
}

HidapiCalls::Handle SystemHidapi::Open(const std::string& path) {
    return hid_open_path(path.c_str());
}

void SystemHidapi::Close(Handle device) {
    hid_close(Device(device));
}

std::optional<HidapiCalls::Info> SystemHidapi::DeviceInfo(Handle device) {
    const hid_device_info* info = hid_get_device_info(Device(device));  // owned by the device
    if (!info) return std::nullopt;
    return Info{info->vendor_id, info->product_id, info->release_number};
}

int SystemHidapi::Write(Handle device, const std::uint8_t* data, std::size_t size) {
    return hid_write(Device(device), data, size);
}

int SystemHidapi::ReadTimeout(Handle device, std::uint8_t* data, std::size_t size, int timeout_ms) {
    return hid_read_timeout(Device(device), data, size, timeout_ms);
}

}  // namespace qvt::linux_app
