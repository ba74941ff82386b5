// The hidapi adapter through its seam: what it hands hidapi and what it makes of the answers,
// with a stand-in for a hidraw device.
#include "hidapi_bus.h"

#include <gtest/gtest.h>

#include <map>

#include "virtual_clock.h"

namespace qvt::linux_app {
namespace {

class FakeHidapi final : public HidapiCalls {
  public:
    std::vector<std::string> paths;
    std::vector<std::vector<std::uint8_t>> written;
    int write_result = 65;
    std::uint32_t write_takes_ms = 0;
    std::vector<std::uint8_t> reply;  // what the next read brings
    int read_result = 64;
    std::size_t read_size_asked = 0;
    int open = 0;
    sim::VirtualClock& clock;

    explicit FakeHidapi(sim::VirtualClock& clock) : clock(clock) {}

    std::vector<std::string> EnumeratePaths() override { return paths; }
    std::optional<Info> ListedInfo(const std::string&) override { return std::nullopt; }
    Handle Open(const std::string& path) override {
        if (path == "/dev/missing") return nullptr;
        ++open;
        return &open;
    }
    void Close(Handle) override { --open; }
    std::optional<Info> DeviceInfo(Handle) override { return Info{0x1232, 0x0103, 0x0001}; }
    int Write(Handle, const std::uint8_t* data, std::size_t size) override {
        written.emplace_back(data, data + size);
        clock.Sleep(write_takes_ms);
        return write_result;
    }
    int ReadTimeout(Handle, std::uint8_t* data, std::size_t size, int) override {
        read_size_asked = size;
        if (read_result > 0) std::copy_n(reply.begin(), read_result, data);
        return read_result;
    }
};

struct HidapiBench {
    sim::VirtualClock clock;
    FakeHidapi calls{clock};
    HidapiBus bus{calls, clock};
};

TEST(HidapiBus, ADeviceListedOncePerCollectionIsOneInterface) {
    HidapiBench rig;
    rig.calls.paths = {"/dev/hidraw0", "/dev/hidraw0", "/dev/hidraw3", "/dev/hidraw0"};
    EXPECT_EQ(rig.bus.InterfacePath(0), "/dev/hidraw0");
    EXPECT_EQ(rig.bus.InterfacePath(1), "/dev/hidraw3");
    EXPECT_FALSE(rig.bus.InterfacePath(2).has_value());
    EXPECT_EQ(rig.bus.Open("/dev/missing"), nullptr);
}

TEST(HidapiBus, AReportGoesOutWholeWithItsReportIdFirst) {
    HidapiBench rig;
    auto device = rig.bus.Open("/dev/hidraw0");
    ASSERT_TRUE(device);
    std::array<std::uint8_t, kReportSize> report{};
    report[1] = 0x07;
    report[64] = 0xAB;
    EXPECT_EQ(device->Write(report, 1000), Transfer::kCompleted);
    ASSERT_EQ(rig.calls.written.size(), 1u);
    EXPECT_EQ(rig.calls.written[0], std::vector<std::uint8_t>(report.begin(), report.end()));
    HidAttributes attributes;
    ASSERT_TRUE(device->GetAttributes(attributes));
    EXPECT_EQ(attributes.vendor_id, 0x1232);
    device.reset();
    EXPECT_EQ(rig.calls.open, 0);
}

TEST(HidapiBus, AWriteIsBoundedOrFailedByWhatHidapiSays) {
    HidapiBench rig;
    auto device = rig.bus.Open("/dev/hidraw0");
    std::array<std::uint8_t, kReportSize> report{};
    rig.calls.write_takes_ms = 1000;  // exactly the bound: still in time
    EXPECT_EQ(device->Write(report, 1000), Transfer::kCompleted);
    rig.calls.write_takes_ms = 1001;  // done, but later than the bound
    EXPECT_EQ(device->Write(report, 1000), Transfer::kTimedOut);
    rig.calls.write_takes_ms = 5000;  // never taken: usbhid gives up after 5 s, with an error
    rig.calls.write_result = -1;
    EXPECT_EQ(device->Write(report, 1000), Transfer::kTimedOut);
    rig.calls.write_takes_ms = 0;
    rig.calls.write_result = -1;
    EXPECT_EQ(device->Write(report, 1000), Transfer::kFailed);
}

TEST(HidapiBus, AReplyWithoutReportIdLandsAfterTheIdByte) {
    HidapiBench rig;
    auto device = rig.bus.Open("/dev/hidraw0");
    rig.calls.reply.assign(64, 0);
    for (std::size_t i = 0; i < 64; ++i) rig.calls.reply[i] = static_cast<std::uint8_t>(i + 1);
    std::array<std::uint8_t, kReportSize> reply{};
    reply.fill(0xEE);
    EXPECT_EQ(device->Read(reply, 50), Transfer::kCompleted);
    EXPECT_EQ(rig.calls.read_size_asked, 64u);  // never more than the 64 data bytes
    EXPECT_EQ(reply[0], 0x00);
    EXPECT_EQ(reply[1], 1);
    EXPECT_EQ(reply[64], 64);
    // A short reply: the rest of the report is zero, not left from the one before.
    rig.calls.read_result = 10;
    EXPECT_EQ(device->Read(reply, 50), Transfer::kCompleted);
    EXPECT_EQ(reply[10], 10);
    EXPECT_EQ(reply[11], 0x00);
    EXPECT_EQ(reply[64], 0x00);
}

TEST(HidapiBus, NoReplyIsATimeOutAndAnErrorAFailure) {
    HidapiBench rig;
    auto device = rig.bus.Open("/dev/hidraw0");
    std::array<std::uint8_t, kReportSize> reply{};
    rig.calls.read_result = 0;
    EXPECT_EQ(device->Read(reply, 50), Transfer::kTimedOut);
    rig.calls.read_result = -1;
    EXPECT_EQ(device->Read(reply, 50), Transfer::kFailed);
}

}  // namespace
}  // namespace qvt::linux_app
