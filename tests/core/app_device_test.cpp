#include "app_device.h"

#include <gtest/gtest.h>

#include <map>

#include "rig.h"
#include "texts.h"

namespace qvt {
namespace {

// A driver whose device objects a test places at any index, recording every call.
class ScriptedDriver final : public AppDriver {
  public:
    struct Object {
        std::uint16_t version = 0x0300;
        bool version_fails = false;
        std::size_t version_bytes = 2;  // how much of the word a successful query fills
    };
    std::map<int, Object> objects;
    std::vector<std::string> opened_names;
    std::vector<std::pair<int, std::uint32_t>> calls;  // index, control code
    std::vector<std::vector<std::uint8_t>> command_bytes;
    std::vector<std::size_t> version_out_sizes;
    int open = 0;

    bool Present() const override { return true; }
    std::unique_ptr<DriverDevice> Open(const std::string& name) override {
        opened_names.push_back(name);
        for (auto& [index, object] : objects) {
            if (name == AppDeviceName(index)) return std::make_unique<Device>(*this, index);
        }
        return nullptr;
    }

  private:
    class Device final : public DriverDevice {
      public:
        Device(ScriptedDriver& driver, int index) : driver_(driver), index_(index) {
            ++driver_.open;
        }
        ~Device() override { --driver_.open; }
        bool IoControl(std::uint32_t code, const std::uint8_t* in, std::size_t in_size,
                       std::uint8_t* out, std::size_t out_size, std::size_t& returned) override {
            returned = 0;
            driver_.calls.emplace_back(index_, code);
            const Object& object = driver_.objects[index_];
            if (code == 0x00222048) {
                driver_.version_out_sizes.push_back(out_size);
                if (object.version_fails || out_size != 2) return false;
                out[0] = static_cast<std::uint8_t>(object.version);
                if (object.version_bytes > 1)
                    out[1] = static_cast<std::uint8_t>(object.version >> 8);
                returned = object.version_bytes;
                return true;
            }
            if (code == 0x0022205C && out_size == 0) {
                driver_.command_bytes.emplace_back(in, in + in_size);
            }
            return true;
        }

      private:
        ScriptedDriver& driver_;
        int index_;
    };
};

struct CensusRig {
    CensusRig() : loader(resource, ProductDescrambleTable(), image), app(driver, loader) {
        loader.LoadFirmwareImage();
    }
    EmbeddedImageResource resource;
    ScriptedDriver driver;
    sim::RecordingWindowView view;
    LogRecord record{{}};
    WindowModel model{view, record};
    FirmwareImage image;
    FirmwareImageLoader loader;
    AppModeUnits app;
};

TEST(AppDeviceCensus, ProbesExactlyTheNineNamesInOrder) {
    CensusRig rig;
    EXPECT_FALSE(rig.app.CountAppDevices());
    ASSERT_EQ(rig.driver.opened_names.size(), 9u);
    EXPECT_EQ(rig.driver.opened_names.front(), "\\\\.\\QvtUsb2Device0");
    EXPECT_EQ(rig.driver.opened_names.back(), "\\\\.\\QvtUsb2Device8");
    EXPECT_EQ(rig.app.census().app_device_count, 0);
    EXPECT_EQ(rig.app.census().device_version, 0);
    EXPECT_FALSE(rig.app.HoldsHandle());
}

TEST(AppDeviceCensus, FindsADeviceInAGapAndNeverATenthName) {
    CensusRig rig;
    rig.driver.objects[3] = {0x0300};
    rig.driver.objects[9] = {0x0300};  // beyond the nine names: never opened
    EXPECT_TRUE(rig.app.CountAppDevices());
    EXPECT_EQ(rig.app.census().app_device_count, 1);
    EXPECT_EQ(rig.app.census().outdated_count, 1);
    EXPECT_EQ(rig.app.census().device_version, 0x0300);
    EXPECT_TRUE(rig.app.HoldsHandle());
    EXPECT_EQ(rig.driver.open, 1);
    rig.app.CloseAppDevice();
    EXPECT_EQ(rig.driver.open, 0);
}

TEST(AppDeviceCensus, TwoDevicesCountTwoAndTheFirstDescribesTheCensus) {
    CensusRig rig;
    rig.driver.objects[1] = {0x0310};
    rig.driver.objects[4] = {0x0100};
    EXPECT_TRUE(rig.app.CountAppDevices());
    const DeviceCensus& census = rig.app.census();
    EXPECT_EQ(census.app_device_count, 2);
    EXPECT_EQ(census.outdated_count, 0);  // the first one's version decides
    EXPECT_EQ(census.device_version, 0x0310);
    // Each is asked, so that none passes unread for current.
    ASSERT_EQ(rig.driver.calls.size(), 2u);
    EXPECT_EQ(rig.driver.calls[0], std::make_pair(1, std::uint32_t{0x00222048}));
    EXPECT_EQ(rig.driver.calls[1], std::make_pair(4, std::uint32_t{0x00222048}));
    EXPECT_EQ(rig.driver.version_out_sizes, (std::vector<std::size_t>{2, 2}));
    EXPECT_EQ(census.versions, (std::vector<VersionReading>{0x0310, 0x0100}));
    EXPECT_EQ(rig.driver.open, 1);  // the second one's handle closed at once
}

TEST(AppDeviceCensus, AFailedOrShortVersionQueryIsNoVersionRead) {
    for (const ScriptedDriver::Object& object :
         {ScriptedDriver::Object{0x0310, true, 2}, ScriptedDriver::Object{0x0310, false, 1}}) {
        CensusRig rig;
        rig.driver.objects[0] = object;
        EXPECT_TRUE(rig.app.CountAppDevices());
        const DeviceCensus& census = rig.app.census();
        EXPECT_EQ(census.app_device_count, 1);
        EXPECT_EQ(census.outdated_count, 0);  // present and current, as the start-up check has it
        EXPECT_EQ(census.device_version, 0);
        EXPECT_EQ(census.versions, std::vector<VersionReading>{std::nullopt});  // nothing read
    }
}

TEST(AppDeviceCensus, ComparesVersionsAsUnsignedWords) {
    const std::pair<std::uint16_t, int> cases[] = {{0x030F, 1}, {0x0310, 0}, {0x0311, 0},
                                                   {0x0000, 1}, {0x8000, 0}, {0xFFFF, 0}};
    for (const auto& [version, outdated] : cases) {
        CensusRig rig;
        rig.driver.objects[0] = {version};
        rig.app.CountAppDevices();
        EXPECT_EQ(rig.app.census().outdated_count, outdated) << std::hex << version;
    }
}

TEST(AppDeviceCensus, AFailedVersionQueryCountsTheDeviceAsCurrent) {
    CensusRig rig;
    rig.driver.objects[0] = {0x0100, true};
    EXPECT_TRUE(rig.app.ProbeAppMode());
    EXPECT_EQ(rig.app.census().app_device_count, 1);
    EXPECT_EQ(rig.app.census().outdated_count, 0);
    EXPECT_EQ(rig.app.census().device_version, 0);
    EXPECT_FALSE(rig.app.HoldsHandle());
}

using Bytes = std::vector<std::uint8_t>;

TEST(BootModeRequest, SendsTheCommandWordToTheFirstDeviceFound) {
    CensusRig rig;
    rig.driver.objects[2] = {0x0300};
    rig.driver.objects[5] = {0x0300};
    EXPECT_TRUE(rig.app.RequestBootMode(rig.model, false));
    // Code 0x0022205C with the word 0x0255, low byte first, to the device the census describes.
    EXPECT_EQ(rig.driver.command_bytes, std::vector<Bytes>{Bytes({0x55, 0x02})});
    EXPECT_EQ(rig.driver.calls.back(), std::make_pair(2, std::uint32_t{0x0022205C}));
    EXPECT_EQ(rig.model.controls().message, text::kBootSwitchStart);
    EXPECT_EQ(rig.driver.open, 0);
}

TEST(BootModeRequest, ACurrentDeviceGetsItOnlyWhenForced) {
    CensusRig rig;
    rig.driver.objects[0] = {0x0310};
    EXPECT_TRUE(rig.app.RequestBootMode(rig.model, false));
    EXPECT_TRUE(rig.driver.command_bytes.empty());
    EXPECT_TRUE(rig.app.RequestBootMode(rig.model, true));
    EXPECT_EQ(rig.driver.command_bytes, std::vector<Bytes>{Bytes({0x55, 0x02})});
}

TEST(BootModeRequest, NoDeviceShowsTheMissingMessageAndAdvancesOnce) {
    CensusRig rig;
    EXPECT_FALSE(rig.app.RequestBootMode(rig.model, false));
    EXPECT_EQ(rig.model.controls().message, text::kMessageMissing);
    EXPECT_EQ(rig.model.controls().progress_position, 1);
}

}  // namespace
}  // namespace qvt
