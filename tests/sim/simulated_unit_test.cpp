// The simulated QVT-40 R3 at the transfer level: what each scenario fault does to the reports.
#include <gtest/gtest.h>

#include "bench.h"

namespace qvt::sim {
namespace {

using qvt::testing::ScenarioFrom;

struct Rig {
    explicit Rig(std::string_view json) : world(clock, ScenarioFrom(json)) {}

    std::unique_ptr<HidDevice> OpenBootLoader(std::size_t index = 0) {
        const auto path = world.bus().InterfacePath(index);
        return path ? world.bus().Open(*path) : nullptr;
    }
    static BootCommandReport Command(BootCommand command, std::uint32_t address = 0,
                                     std::uint8_t length = 0) {
        BootCommandReport report;
        report.set_command(command);
        report.set_address(address);
        report.set_length(length);
        return report;
    }
    Transfer Send(HidDevice& device, const BootCommandReport& report) {
        return device.Write(report.bytes, 1000);
    }
    std::optional<BootReplyReport> ReadAt(HidDevice& device, std::uint32_t address) {
        Send(device, Command(BootCommand::kRead, address, 58));
        BootReplyReport reply;
        if (device.Read(reply.bytes, 50) != Transfer::kCompleted) return std::nullopt;
        return reply;
    }
    std::optional<std::uint16_t> AppVersion(int index = 0) {
        auto device = world.driver().Open(AppDeviceName(index));
        if (!device) return std::nullopt;
        std::array<std::uint8_t, 2> out{};
        if (!device->IoControl(IOCTL_QVT_GET_VERSION, nullptr, 0, out.data(), 2)) return 0xDEAD;
        return static_cast<std::uint16_t>(out[0] | (out[1] << 8));
    }
    void RequestBoot(int index = 0) {
        auto device = world.driver().Open(AppDeviceName(index));
        ASSERT_TRUE(device);
        const std::uint8_t word[2] = {0x55, 0x02};
        device->IoControl(IOCTL_QVT_COMMAND, word, 2, nullptr, 0);
    }

    VirtualClock clock;
    SimulatedWorld world;
};

TEST(SimulatedUnit, SwitchesToItsBootLoaderAfterTheDelay) {
    Rig rig(R"({"boot_switch_delay_ms": 2000})");
    EXPECT_EQ(rig.AppVersion(), 0x0300);
    rig.RequestBoot();
    EXPECT_FALSE(rig.AppVersion().has_value());
    EXPECT_FALSE(rig.OpenBootLoader());
    rig.clock.Sleep(1999);
    EXPECT_FALSE(rig.OpenBootLoader());
    rig.clock.Sleep(1);
    auto device = rig.OpenBootLoader();
    ASSERT_TRUE(device);
    HidAttributes attributes;
    ASSERT_TRUE(device->GetAttributes(attributes));
    EXPECT_EQ(attributes.vendor_id, 0x1232);
    EXPECT_EQ(attributes.product_id, 0x0103);
}

TEST(SimulatedUnit, ErasesProgramsByClearingBitsAndGuardsItsBootLoader) {
    Rig rig(R"({"units": [{"mode": "boot", "version": "3.00"}]})");
    auto device = rig.OpenBootLoader();
    ASSERT_TRUE(device);
    const std::uint8_t boot_byte = rig.world.unit(0).flash[0x10F0];
    EXPECT_EQ(rig.Send(*device, Rig::Command(BootCommand::kErase)), Transfer::kCompleted);
    EXPECT_TRUE(std::all_of(rig.world.unit(0).flash.begin() + 0x1100, rig.world.unit(0).flash.end(),
                            [](std::uint8_t b) { return b == 0xFF; }));
    auto program = Rig::Command(BootCommand::kProgram, 0x10F0, 58);
    std::ranges::fill(program.data(), 0x0F);
    rig.Send(*device, program);
    program.set_address(0x2000);
    std::ranges::fill(program.data(), 0xF0);
    rig.Send(*device, program);
    EXPECT_EQ(rig.world.unit(0).flash[0x10F0], boot_byte);  // below 0x1100: untouched
    EXPECT_EQ(rig.world.unit(0).flash[0x1100], 0x0F);
    EXPECT_EQ(rig.world.unit(0).flash[0x2000], 0xF0);
    std::ranges::fill(program.data(), 0x3C);
    rig.Send(*device, program);
    EXPECT_EQ(rig.world.unit(0).flash[0x2000], 0x30);  // 0xF0 AND 0x3C
    const auto reply = rig.ReadAt(*device, 0x1FFF);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->data()[0], 0xFF);
    EXPECT_EQ(reply->data()[1], 0x30);
    const auto tail = rig.ReadAt(*device, 0x5FD8);
    ASSERT_TRUE(tail);
    EXPECT_EQ(tail->data()[39], 0xFF);
    EXPECT_EQ(tail->data()[40], 0x00);  // past the end of the flash
}

TEST(SimulatedUnit, AResetStartsOnlyAValidApplication) {
    Rig rig(R"({"units": [{"mode": "boot", "version": "3.00"}], "reset_delay_ms": 3000})");
    {
        auto device = rig.OpenBootLoader();
        rig.Send(*device, Rig::Command(BootCommand::kReset));
        EXPECT_EQ(device->Write(Rig::Command(BootCommand::kReset).bytes, 1000),
                  Transfer::kFailed);  // gone
    }
    rig.clock.Sleep(3000);
    EXPECT_EQ(rig.AppVersion(), 0x0300);

    Rig erased(R"({"units": [{"mode": "boot"}]})");
    auto device = erased.OpenBootLoader();
    erased.Send(*device, Rig::Command(BootCommand::kReset));
    erased.clock.Sleep(3000);
    EXPECT_FALSE(erased.AppVersion().has_value());
    EXPECT_TRUE(erased.OpenBootLoader());  // no application: back in the boot loader
}

TEST(SimulatedFaults, RefusedWritesHangForTheirBoundAndNeverArrive) {
    Rig rig(
        R"({"units": [{"mode": "boot"}], "faults": [{"kind": "refuse_writes", "command": "read", "from": 2, "count": 1}]})");
    auto device = rig.OpenBootLoader();
    EXPECT_TRUE(rig.ReadAt(*device, 0x1100));
    const auto before = rig.clock.NowMs();
    EXPECT_EQ(rig.Send(*device, Rig::Command(BootCommand::kRead, 0x1100, 58)), Transfer::kTimedOut);
    EXPECT_EQ(rig.clock.NowMs() - before, 1000u);
    BootReplyReport reply;
    EXPECT_EQ(device->Read(reply.bytes, 50), Transfer::kTimedOut);  // nothing was asked
    EXPECT_TRUE(rig.ReadAt(*device, 0x1100));                       // the third is fine again
}

TEST(SimulatedFaults, FailingWritesFailAtOnce) {
    Rig rig(
        R"({"units": [{"mode": "boot"}], "faults": [{"kind": "failing_writes", "command": "any", "from": 1, "count": 1}]})");
    auto device = rig.OpenBootLoader();
    EXPECT_EQ(rig.Send(*device, Rig::Command(BootCommand::kErase)), Transfer::kFailed);
    EXPECT_EQ(rig.clock.NowMs(), 0u);
    EXPECT_EQ(rig.world.unit(0).total_received, 0);
    EXPECT_EQ(rig.Send(*device, Rig::Command(BootCommand::kErase)), Transfer::kCompleted);
}

TEST(SimulatedFaults, SilentAndLateReads) {
    Rig rig(R"({"units": [{"mode": "boot"}], "faults": [
        {"kind": "silent_reads", "from": 1, "count": 1},
        {"kind": "late_reads", "from": 2, "count": 1, "delay_ms": 30},
        {"kind": "late_reads", "from": 3, "count": 1, "delay_ms": 80}]})");
    auto device = rig.OpenBootLoader();
    EXPECT_FALSE(rig.ReadAt(*device, 0x1100));  // silent
    auto t = rig.clock.NowMs();
    EXPECT_TRUE(rig.ReadAt(*device, 0x1100));  // 30 ms late: still within the 50 ms bound
    EXPECT_EQ(rig.clock.NowMs() - t, 30u);
    EXPECT_FALSE(rig.ReadAt(*device, 0x1100));  // 80 ms late: missed...
    BootReplyReport stale;
    EXPECT_EQ(device->Read(stale.bytes, 50),
              Transfer::kCompleted);  // ...and arrives for the next read
}

TEST(SimulatedFaults, AStuckByteReadsBackItsValue) {
    Rig rig(
        R"({"units": [{"mode": "boot"}], "faults": [{"kind": "stuck_byte", "address": "0x1105", "value": 66}]})");
    auto device = rig.OpenBootLoader();
    const auto reply = rig.ReadAt(*device, 0x1100);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->data()[5], 66);
    EXPECT_EQ(reply->data()[4], 0xFF);
}

TEST(SimulatedFaults, UnplugAfterReportsTakesTheUnitAwayForGood) {
    Rig rig(R"({"units": [{"mode": "boot"}], "faults": [{"kind": "unplug", "after_reports": 2}]})");
    auto device = rig.OpenBootLoader();
    EXPECT_EQ(rig.Send(*device, Rig::Command(BootCommand::kErase)), Transfer::kCompleted);
    EXPECT_EQ(rig.Send(*device, Rig::Command(BootCommand::kErase)), Transfer::kCompleted);
    EXPECT_EQ(rig.Send(*device, Rig::Command(BootCommand::kErase)), Transfer::kFailed);
    rig.clock.Sleep(100000);
    EXPECT_FALSE(rig.OpenBootLoader());
}

TEST(SimulatedFaults, BootRequestIgnoredAndVersionQueryFailing) {
    Rig ignored(R"({"faults": [{"kind": "ignore_boot_request"}]})");
    ignored.RequestBoot();
    ignored.clock.Sleep(10000);
    EXPECT_EQ(ignored.AppVersion(), 0x0300);
    EXPECT_EQ(ignored.world.unit(0).boot_requests, 1);

    Rig silent(R"({"faults": [{"kind": "version_query_fails"}]})");
    EXPECT_EQ(silent.AppVersion(), 0xDEAD);
}

TEST(SimulatedFaults, ReturnVersionAndStaysInBootActAfterTheReset) {
    Rig old(
        R"({"units": [{"mode": "boot", "version": "3.10"}], "faults": [{"kind": "return_version", "version": "3.00"}]})");
    {
        auto device = old.OpenBootLoader();
        old.Send(*device, Rig::Command(BootCommand::kReset));
    }
    old.clock.Sleep(3000);
    EXPECT_EQ(old.AppVersion(), 0x0300);

    Rig stays(
        R"({"units": [{"mode": "boot", "version": "3.10"}], "faults": [{"kind": "stays_in_boot"}]})");
    {
        auto device = stays.OpenBootLoader();
        stays.Send(*device, Rig::Command(BootCommand::kReset));
    }
    stays.clock.Sleep(3000);
    EXPECT_FALSE(stays.AppVersion().has_value());
    EXPECT_TRUE(stays.OpenBootLoader());
}

TEST(SimulatedFaults, AttachPlugsInAUnitAfterReportsOverAllUnits) {
    Rig rig(
        R"({"units": [{"mode": "boot"}], "faults": [{"kind": "attach", "after_reports": 2, "unit": {"mode": "application", "version": "3.10"}}]})");
    auto device = rig.OpenBootLoader();
    rig.Send(*device, Rig::Command(BootCommand::kErase));
    EXPECT_FALSE(rig.AppVersion(1).has_value());
    rig.Send(*device, Rig::Command(BootCommand::kErase));
    EXPECT_EQ(rig.AppVersion(1), 0x0310);
}

TEST(SimulatedFaults, HandlesAreCountedAndGoStaleOnReenumeration) {
    Rig rig(R"({"units": [{"mode": "application", "version": "3.00"}]})");
    auto app = rig.world.driver().Open(AppDeviceName(0));
    EXPECT_EQ(rig.world.open_handles(), 1);
    const std::uint8_t word[2] = {0x55, 0x02};
    app->IoControl(IOCTL_QVT_COMMAND, word, 2, nullptr, 0);
    std::array<std::uint8_t, 2> out{};
    EXPECT_FALSE(app->IoControl(IOCTL_QVT_GET_VERSION, nullptr, 0, out.data(), 2));
    app.reset();
    EXPECT_EQ(rig.world.open_handles(), 0);
}

}  // namespace
}  // namespace qvt::sim
