// The real HID enumeration and driver census on a system without the device: whatever HID
// interfaces the system has must be opened, rejected and closed.
#include <gtest/gtest.h>

#include "app_device.h"
#include "boot_loader_link.h"
#include "embedded_image.h"
#include "firmware_image.h"
#include "product_table.h"
#include "recording_window_view.h"
#include "unique_handle.h"
#include "virtual_clock.h"
#include "wide_text.h"
#include "win_app_driver.h"
#include "win_hid_bus.h"

namespace qvt::win32 {
namespace {

// The real bus behind a counter of what the core asks and holds. Scripted paths, when given,
// stand in for the system's enumeration; opening always goes through the real bus.
class CountingBus final : public HidBus {
  public:
    explicit CountingBus(HidBus& inner, std::optional<std::vector<std::string>> scripted = {})
        : inner_(inner), scripted_(std::move(scripted)) {}
    std::optional<std::string> InterfacePath(std::size_t index) override {
        ++indices_asked;
        if (scripted_) {
            if (index < scripted_->size()) return (*scripted_)[index];
            return std::nullopt;
        }
        return inner_.InterfacePath(index);
    }
    std::optional<HidAttributes> Inspect(const std::string& path) override {
        return inner_.Inspect(path);
    }
    std::unique_ptr<HidDevice> Open(const std::string& path) override {
        auto device = inner_.Open(path);
        if (!device) return nullptr;
        ++opened;
        return std::make_unique<Counted>(std::move(device), *this);
    }
    int indices_asked = 0;
    int opened = 0;
    int open_now = 0;
    int attribute_queries = 0;

  private:
    class Counted final : public HidDevice {
      public:
        Counted(std::unique_ptr<HidDevice> inner, CountingBus& bus)
            : inner_(std::move(inner)), bus_(bus) {
            ++bus_.open_now;
        }
        ~Counted() override { --bus_.open_now; }
        bool GetAttributes(HidAttributes& attributes) override {
            ++bus_.attribute_queries;
            return inner_->GetAttributes(attributes);
        }
        Transfer Write(std::span<const std::uint8_t> report, std::uint32_t timeout) override {
            return inner_->Write(report, timeout);
        }
        Transfer Read(std::span<std::uint8_t> report, std::uint32_t timeout) override {
            return inner_->Read(report, timeout);
        }

      private:
        std::unique_ptr<HidDevice> inner_;
        CountingBus& bus_;
    };
    HidBus& inner_;
    std::optional<std::vector<std::string>> scripted_;
};

TEST(WinHidEnumeration, TheSystemsEnumerationEndsAtItsFirstGapAndLeavesNothingOpen) {
    WinHidBus real;
    std::vector<std::string> paths;
    for (std::size_t i = 0;; ++i) {
        auto path = real.InterfacePath(i);
        if (!path) break;
        EXPECT_FALSE(path->empty());
        paths.push_back(*path);
    }
    CountingBus bus(real);
    sim::VirtualClock clock;
    sim::RecordingWindowView view;
    BootLoaderLink link(bus, clock, view);
    EXPECT_FALSE(link.FindBootLoaders(0));
    EXPECT_EQ(link.boot_loader_count(), 0);
    EXPECT_FALSE(link.HoldsHandle());
    // Every present interface, then the end: one index more than there are interfaces.
    EXPECT_EQ(bus.indices_asked, static_cast<int>(paths.size()) + 1);
    EXPECT_EQ(bus.attribute_queries, bus.opened);
    EXPECT_EQ(bus.open_now, 0);
    ::testing::Test::RecordProperty("hid_interfaces", static_cast<int>(paths.size()));
}

TEST(WinHidEnumeration, ADeviceThatOpensButIsNoHidDeviceIsRejectedAndClosed) {
    wchar_t folder[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, folder), 0u);
    const std::wstring file = std::wstring(folder) + L"qvt-not-a-hid-device-" +
                              std::to_wstring(GetCurrentProcessId()) + L".bin";
    UniqueFile created(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_TEMPORARY, nullptr));
    ASSERT_TRUE(created);
    created.reset();

    WinHidBus real;
    CountingBus bus(real, std::vector<std::string>{Narrow(file), "C:\\qvt-no-such-device"});
    sim::VirtualClock clock;
    sim::RecordingWindowView view;
    BootLoaderLink link(bus, clock, view);
    EXPECT_FALSE(link.FindBootLoaders(0));
    EXPECT_EQ(bus.indices_asked, 3);      // two paths, then the end
    EXPECT_EQ(bus.opened, 1);             // the missing path is skipped
    EXPECT_EQ(bus.attribute_queries, 1);  // asked, and no HID attributes came back
    EXPECT_EQ(bus.open_now, 0);
    EXPECT_FALSE(link.HoldsHandle());
    DeleteFileW(file.c_str());
}

TEST(WinHidEnumeration, AnIndexPastTheEndIsTheEnd) {
    WinHidBus bus;
    EXPECT_FALSE(bus.InterfacePath(100000).has_value());
    EXPECT_EQ(
        bus.Open("\\\\?\\hid#vid_1232&pid_0103#nothing#{4d1e55b2-f16f-11cf-88cb-001111000030}"),
        nullptr);
}

TEST(WinAppDriverCensus, NoDeviceObjectOpensAndNoHandleIsKept) {
    WinAppDriver driver;
    EXPECT_EQ(driver.Open("\\\\.\\QvtUsb2Device0"), nullptr);
    EmbeddedImageResource resource;
    FirmwareImage image;
    FirmwareImageLoader loader(resource, ProductDescrambleTable(), image);
    AppModeUnits app(driver, loader);
    EXPECT_FALSE(app.CountAppDevices());
    EXPECT_EQ(app.census().app_device_count, 0);
    EXPECT_EQ(app.census().outdated_count, 0);
    EXPECT_FALSE(app.HoldsHandle());
}

}  // namespace
}  // namespace qvt::win32
