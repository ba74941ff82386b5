// The simulated QVT-40 R3 at the transfer level: what each scenario fault does to the reports.
#include "sim_rig.h"

namespace qvt::sim {
namespace {

using namespace rig;

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
    EXPECT_EQ(rig.Send(*device, Rig::Command(kErase)), Transfer::kCompleted);
    EXPECT_TRUE(std::all_of(rig.world.unit(0).flash.begin() + 0x1100, rig.world.unit(0).flash.end(),
                            [](std::uint8_t b) { return b == 0xFF; }));
    Report program = Rig::Command(kProgram, 0x10F0, 58);
    std::fill(program.begin() + 7, program.end(), 0x0F);
    rig.Send(*device, program);
    program = Rig::Command(kProgram, 0x2000, 58);
    std::fill(program.begin() + 7, program.end(), 0xF0);
    rig.Send(*device, program);
    EXPECT_EQ(rig.world.unit(0).flash[0x10F0], boot_byte);  // below 0x1100: untouched
    EXPECT_EQ(rig.world.unit(0).flash[0x1100], 0x0F);
    EXPECT_EQ(rig.world.unit(0).flash[0x2000], 0xF0);
    std::fill(program.begin() + 7, program.end(), 0x3C);
    rig.Send(*device, program);
    EXPECT_EQ(rig.world.unit(0).flash[0x2000], 0x30);  // 0xF0 AND 0x3C
    const auto reply = rig.ReadAt(*device, 0x1FFF);
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)[7 + 0], 0xFF);
    EXPECT_EQ((*reply)[7 + 1], 0x30);
    const auto tail = rig.ReadAt(*device, 0x5FD8);
    ASSERT_TRUE(tail);
    EXPECT_EQ((*tail)[7 + 39], 0xFF);
    EXPECT_EQ((*tail)[7 + 40], 0x00);  // past the end of the flash
}

TEST(SimulatedUnit, AResetStartsOnlyAValidApplication) {
    Rig rig(R"({"units": [{"mode": "boot", "version": "3.00"}], "reset_delay_ms": 3000})");
    {
        auto device = rig.OpenBootLoader();
        rig.Send(*device, Rig::Command(kReset));
        EXPECT_EQ(device->Write(Rig::Command(kReset), 1000),
                  Transfer::kFailed);  // gone
    }
    rig.clock.Sleep(3000);
    EXPECT_EQ(rig.AppVersion(), 0x0300);

    Rig erased(testing::kOneBootLoader);
    auto device = erased.OpenBootLoader();
    erased.Send(*device, Rig::Command(kReset));
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
    EXPECT_EQ(rig.Send(*device, Rig::Command(kRead, 0x1100, 58)), Transfer::kTimedOut);
    EXPECT_EQ(rig.clock.NowMs() - before, 1000u);
    Report reply{};
    EXPECT_EQ(device->Read(reply, 50), Transfer::kTimedOut);  // nothing was asked
    EXPECT_TRUE(rig.ReadAt(*device, 0x1100));                 // the third is fine again
}

TEST(SimulatedFaults, FailingWritesFailAtOnce) {
    Rig rig(
        R"({"units": [{"mode": "boot"}], "faults": [{"kind": "failing_writes", "command": "any", "from": 1, "count": 1}]})");
    auto device = rig.OpenBootLoader();
    EXPECT_EQ(rig.Send(*device, Rig::Command(kErase)), Transfer::kFailed);
    EXPECT_EQ(rig.clock.NowMs(), 0u);
    EXPECT_EQ(rig.world.unit(0).total_received, 0);
    EXPECT_EQ(rig.Send(*device, Rig::Command(kErase)), Transfer::kCompleted);
}

TEST(SimulatedFaults, SilentAndLateReads) {
    Rig rig(R"({"units": [{"mode": "boot"}], "faults": [
        {"kind": "silent_reads", "from": 1, "count": 1},
        {"kind": "late_reads", "from": 2, "count": 1, "delay_ms": 30},
        {"kind": "late_reads", "from": 3, "count": 1, "delay_ms": 80}]})");
    auto device = rig.OpenBootLoader();
    EXPECT_FALSE(rig.ReadAt(*device, 0x1100));  // silent
    auto t = rig.clock.NowMs();
    EXPECT_TRUE(rig.ReadAt(*device, 0x1100));         // 30 ms late: still within the 50 ms bound
    EXPECT_EQ(rig.clock.NowMs() - t, 1u + 30u + 1u);  // the request, the delay, the reply
    EXPECT_FALSE(rig.ReadAt(*device, 0x1100));        // 80 ms late: missed...
    Report stale{};
    EXPECT_EQ(device->Read(stale, 50),
              Transfer::kCompleted);  // ...and arrives for the next read
}

// The read's bound holds a reply that arrives as it ends: 49 ms late, one transfer on top.
TEST(SimulatedFaults, AReplyThatArrivesAsTheReadTimesOutIsInTime) {
    Rig rig(R"({"units": [{"mode": "boot"}], "faults": [
        {"kind": "late_reads", "from": 1, "count": 1, "delay_ms": 49}]})");
    auto device = rig.OpenBootLoader();
    const auto t = rig.clock.NowMs();
    EXPECT_TRUE(rig.ReadAt(*device, 0x1100));
    EXPECT_EQ(rig.clock.NowMs() - t, 1u + 49u + 1u);  // the request, then the read's whole 50 ms
}

TEST(SimulatedFaults, AStuckByteReadsBackItsValue) {
    Rig rig(
        R"({"units": [{"mode": "boot"}], "faults": [{"kind": "stuck_byte", "address": "0x1105", "value": 66}]})");
    auto device = rig.OpenBootLoader();
    const auto reply = rig.ReadAt(*device, 0x1100);
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)[7 + 5], 66);
    EXPECT_EQ((*reply)[7 + 4], 0xFF);
}

TEST(SimulatedFaults, UnplugAfterReportsTakesTheUnitAwayForGood) {
    Rig rig(R"({"units": [{"mode": "boot"}], "faults": [{"kind": "unplug", "after_reports": 2}]})");
    auto device = rig.OpenBootLoader();
    EXPECT_EQ(rig.Send(*device, Rig::Command(kErase)), Transfer::kCompleted);
    EXPECT_EQ(rig.Send(*device, Rig::Command(kErase)), Transfer::kCompleted);
    EXPECT_EQ(rig.Send(*device, Rig::Command(kErase)), Transfer::kFailed);
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
        old.Send(*device, Rig::Command(kReset));
    }
    old.clock.Sleep(3000);
    EXPECT_EQ(old.AppVersion(), 0x0300);

    Rig stays(
        R"({"units": [{"mode": "boot", "version": "3.10"}], "faults": [{"kind": "stays_in_boot"}]})");
    {
        auto device = stays.OpenBootLoader();
        stays.Send(*device, Rig::Command(kReset));
    }
    stays.clock.Sleep(3000);
    EXPECT_FALSE(stays.AppVersion().has_value());
    EXPECT_TRUE(stays.OpenBootLoader());
}

TEST(SimulatedFaults, AttachPlugsInAUnitAfterReportsOverAllUnits) {
    Rig rig(
        R"({"units": [{"mode": "boot"}], "faults": [{"kind": "attach", "after_reports": 2, "unit": {"mode": "application", "version": "3.10"}}]})");
    auto device = rig.OpenBootLoader();
    rig.Send(*device, Rig::Command(kErase));
    EXPECT_FALSE(rig.AppVersion(1).has_value());
    rig.Send(*device, Rig::Command(kErase));
    EXPECT_EQ(rig.AppVersion(1), 0x0310);
}

// Units that come and go over time: each event acts at its moment, in the order of the
// moments, whenever the world is next looked at.
TEST(SimulatedEvents, UnitsAreUnpluggedPluggedBackPowerCycledAndAttachedAtTheirMoments) {
    Rig rig(R"({"units": [{"mode": "application", "version": "3.00"}], "events": [
        {"action": "unplug", "unit": 0, "at_ms": 1000},
        {"action": "plug", "unit": 0, "at_ms": 5000},
        {"action": "attach", "unit": {"mode": "boot"}, "at_ms": 3000},
        {"action": "power_cycle", "unit": 1, "at_ms": 9000}]})");
    EXPECT_EQ(rig.AppVersion(), 0x0300);
    EXPECT_FALSE(rig.world.units_changed());
    rig.clock.Sleep(1000);
    EXPECT_FALSE(rig.AppVersion().has_value());  // unplugged at 1 s
    EXPECT_TRUE(rig.world.units_changed());
    EXPECT_EQ(rig.world.unit_count(), 1u);
    rig.clock.Sleep(5000);                // 6 s: the attach at 3 s came before the plug
    EXPECT_EQ(rig.AppVersion(), 0x0300);  // back, running its application
    ASSERT_EQ(rig.world.unit_count(), 2u);
    EXPECT_EQ(rig.world.unit(1).state, UnitState::kBoot);  // blank: its boot loader
    const auto generation = rig.world.unit(1).generation;
    rig.clock.Sleep(3000);
    EXPECT_TRUE(rig.OpenBootLoader());  // power-cycled at 9 s: still blank, a new enumeration
    EXPECT_GT(rig.world.unit(1).generation, generation);
}

TEST(SimulatedEvents, AnEventAfterReportsFallsDueItsDelayAfterTheReportThatArmedIt) {
    Rig rig(R"({"units": [{"mode": "boot"}], "events": [
        {"action": "unplug", "unit": 0, "after_reports": 2, "delay_ms": 500}]})");
    auto device = rig.OpenBootLoader();
    EXPECT_EQ(rig.Send(*device, Rig::Command(kErase)), Transfer::kCompleted);
    EXPECT_EQ(rig.Send(*device, Rig::Command(kErase)), Transfer::kCompleted);
    rig.clock.Sleep(499);
    EXPECT_EQ(rig.Send(*device, Rig::Command(kErase)), Transfer::kCompleted);
    rig.clock.Sleep(1);
    EXPECT_EQ(rig.Send(*device, Rig::Command(kErase)), Transfer::kFailed);
    EXPECT_FALSE(rig.OpenBootLoader());
}

// What a person at the bench expects back from a reset: the units there as it went out, the
// boot loaders reset one after another counted once, before the first of them leaves.
TEST(SimulatedEvents, TheUnitsThereAtAResetAreCountedAsItGoesOut) {
    Rig rig(R"({"units": [{"mode": "boot"}, {"mode": "boot"},
                          {"mode": "application", "version": "3.10"}]})");
    auto first = rig.OpenBootLoader(0);
    auto second = rig.OpenBootLoader(1);
    rig.Send(*first, Rig::Command(kReset));
    rig.Send(*second, Rig::Command(kReset));
    EXPECT_EQ(rig.world.units_at_last_reset(), 3u);
    rig.world.Unplug(2);
    rig.clock.Sleep(10'000);  // both back, into their boot loaders
    auto again = rig.OpenBootLoader(0);
    rig.Send(*again, Rig::Command(kErase));  // another run, so the next reset is a new moment
    rig.world.Unplug(0);
    EXPECT_EQ(rig.Send(*again, Rig::Command(kReset)), Transfer::kFailed);
    EXPECT_EQ(rig.world.units_at_last_reset(), 2u);  // the one it was meant for, gone, included
}

TEST(SimulatedFaults, HandlesAreCountedAndGoStaleOnReenumeration) {
    Rig rig(R"({"units": [{"mode": "application", "version": "3.00"}]})");
    auto app = rig.world.driver().Open(kDevice0);
    EXPECT_EQ(rig.world.open_handles(), 1);
    const std::uint8_t word[2] = {0x55, 0x02};
    Call(*app, kCommand, word, 2, nullptr, 0);
    std::array<std::uint8_t, 2> out{};
    EXPECT_FALSE(Call(*app, kGetVersion, nullptr, 0, out.data(), 2));
    app.reset();
    EXPECT_EQ(rig.world.open_handles(), 0);
}

}  // namespace
}  // namespace qvt::sim
