// The real HID enumeration and driver census on a system without the device (Wine's own HID
// devices are there and must be opened, rejected and closed).
#include <gtest/gtest.h>

#include "app_device.h"
#include "boot_loader_link.h"
#include "embedded_image.h"
#include "firmware_image.h"
#include "product_table.h"
#include "recording_view.h"
#include "virtual_clock.h"
#include "win_app_driver.h"
#include "win_hid_bus.h"

namespace qvt::win32 {
namespace {

// Counts the devices that the core opens and still holds.
class CountingBus final : public HidBus {
  public:
    explicit CountingBus(HidBus& inner) : inner_(inner) {}
    std::optional<std::string> InterfacePath(std::size_t index) override {
        auto path = inner_.InterfacePath(index);
        if (path) paths.push_back(*path);
        return path;
    }
    std::unique_ptr<HidDevice> Open(const std::string& path) override {
        auto device = inner_.Open(path);
        if (!device) return nullptr;
        ++opened;
        return std::make_unique<Counted>(std::move(device), *this);
    }
    std::vector<std::string> paths;
    int opened = 0;
    int open_now = 0;

  private:
    class Counted final : public HidDevice {
      public:
        Counted(std::unique_ptr<HidDevice> inner, CountingBus& bus)
            : inner_(std::move(inner)), bus_(bus) {
            ++bus_.open_now;
        }
        ~Counted() override { --bus_.open_now; }
        bool GetAttributes(HidAttributes& attributes) override {
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
};

TEST(WinHidEnumeration, FindsNoBootLoaderAndLeavesNothingOpen) {
    WinHidBus real;
    CountingBus bus(real);
    sim::VirtualClock clock;
    BootLoaderLink link(bus, clock);
    EXPECT_FALSE(link.FindBootLoaders());
    EXPECT_EQ(link.boot_loader_count(), 0);
    EXPECT_FALSE(link.HoldsHandle());
    EXPECT_EQ(bus.open_now, 0);
    // Whatever HID interfaces the system has were looked at; each one opened was closed again.
    for (const auto& path : bus.paths) EXPECT_FALSE(path.empty());
    EXPECT_LE(bus.opened, static_cast<int>(bus.paths.size()));
    ::testing::Test::RecordProperty("hid_interfaces", static_cast<int>(bus.paths.size()));
    ::testing::Test::RecordProperty("hid_opened", bus.opened);
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
    FirmwareImageLoader image(resource, ProductDescrambleTable());
    AppDevice app(driver, image);
    EXPECT_FALSE(app.CountAppDevices());
    EXPECT_EQ(app.census().app_device_count, 0);
    EXPECT_EQ(app.census().outdated_count, 0);
    EXPECT_FALSE(app.HoldsHandle());
}

}  // namespace
}  // namespace qvt::win32
