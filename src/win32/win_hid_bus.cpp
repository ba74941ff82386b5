#include "win_hid_bus.h"

#include <vector>

#include "overlapped_transfer.h"
#include "system_libraries.h"
#include "unique_handle.h"
#include "wide_text.h"

namespace qvt::win32 {
namespace {

class DeviceInfoSet {
  public:
    explicit DeviceInfoSet(HDEVINFO set) : set_(set) {}
    ~DeviceInfoSet() {
        if (set_ != INVALID_HANDLE_VALUE) Libraries().SetupDiDestroyDeviceInfoList(set_);
    }
    DeviceInfoSet(const DeviceInfoSet&) = delete;
    DeviceInfoSet& operator=(const DeviceInfoSet&) = delete;
    HDEVINFO get() const { return set_; }
    explicit operator bool() const { return set_ != INVALID_HANDLE_VALUE; }

  private:
    HDEVINFO set_;
};

class WinHidDevice final : public HidDevice {
  public:
    explicit WinHidDevice(UniqueFile file) : file_(std::move(file)) {}

    bool GetAttributes(HidAttributes& attributes) override {
        HIDD_ATTRIBUTES found{};
        found.Size = sizeof found;
        if (!Libraries().HidD_GetAttributes(file_.get(), &found)) return false;
        attributes = {found.VendorID, found.ProductID, found.VersionNumber};
        return true;
    }

    Transfer Write(std::span<const std::uint8_t> report, std::uint32_t timeout_ms) override {
        return OverlappedWrite(file_.get(), report.data(), static_cast<DWORD>(report.size()),
                               timeout_ms);
    }

    Transfer Read(std::span<std::uint8_t> report, std::uint32_t timeout_ms) override {
        return OverlappedRead(file_.get(), report.data(), static_cast<DWORD>(report.size()),
                              timeout_ms);
    }

  private:
    UniqueFile file_;
};

}  // namespace

std::optional<std::string> WinHidBus::InterfacePath(std::size_t index) {
    const SystemLibraries& libraries = Libraries();
    RequireSystemLibraries(libraries);  // checked at start-up; never taken for "no device"
    GUID hid_class{};
    libraries.HidD_GetHidGuid(&hid_class);
    // A fresh set of present interfaces for every index.
    DeviceInfoSet set(libraries.SetupDiGetClassDevsW(&hid_class, nullptr, nullptr,
                                                     DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (!set) return std::nullopt;
    SP_DEVICE_INTERFACE_DATA interface_data{};
    interface_data.cbSize = sizeof interface_data;
    if (!libraries.SetupDiEnumDeviceInterfaces(set.get(), nullptr, &hid_class,
                                               static_cast<DWORD>(index), &interface_data)) {
        return std::nullopt;
    }
    DWORD required = 0;
    libraries.SetupDiGetDeviceInterfaceDetailW(set.get(), &interface_data, nullptr, 0, &required,
                                               nullptr);
    if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) return std::nullopt;
        // The record's cbSize is that of the header the system expects on each target: packed to 6
        // bytes for 32-bit programs, 8 for 64-bit ones. A wrong size fails every detail query.
#if defined(_WIN64)
    static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) == 8);
#else
    static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) == 6);
#endif
    std::vector<DWORD> storage((required + sizeof(DWORD) - 1) / sizeof(DWORD));  // DWORD-aligned
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!libraries.SetupDiGetDeviceInterfaceDetailW(set.get(), &interface_data, detail, required,
                                                    nullptr, nullptr)) {
        return std::nullopt;
    }
    return Narrow(detail->DevicePath);
}

std::unique_ptr<HidDevice> WinHidBus::Open(const std::string& path) {
    UniqueFile file(CreateFileW(Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED, nullptr));
    if (!file) return nullptr;
    return std::make_unique<WinHidDevice>(std::move(file));
}

// Opened for no access at all: the attributes can be asked, and no report can pass.
std::optional<HidAttributes> WinHidBus::Inspect(const std::string& path) {
    UniqueFile file(CreateFileW(Widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    HIDD_ATTRIBUTES found = {};
    found.Size = sizeof(found);
    if (!file || !Libraries().HidD_GetAttributes(file.get(), &found)) return std::nullopt;
    return HidAttributes{found.VendorID, found.ProductID, found.VersionNumber};
}

}  // namespace qvt::win32
