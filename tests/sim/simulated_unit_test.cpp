// The simulated QVT-40 R3 at the transfer level: what each scenario fault does to the reports.
#include <gtest/gtest.h>

#include "bench.h"
#include "synthetic_firmware.h"

namespace qvt::sim {
namespace {

using qvt::testing::ScenarioFrom;

// The protocol's command codes and the driver's control codes, written here from the tables
// rather than taken from either side's code.
enum : std::uint8_t { kErase = 4, kProgram = 5, kProgramEnd = 6, kRead = 7, kReset = 8 };
constexpr std::uint32_t kGetVersion = 0x00222048;
constexpr std::uint32_t kCommand = 0x0022205C;
constexpr const char* kDevice0 = "\\\\.\\QvtUsb2Device0";

using Report = std::array<std::uint8_t, 65>;

// A control call whose returned byte count the test does not look at.
bool Call(DriverDevice& device, std::uint32_t code, const std::uint8_t* in, std::size_t in_size,
          std::uint8_t* out, std::size_t out_size) {
    std::size_t returned = 0;
    return device.IoControl(code, in, in_size, out, out_size, returned);
}

struct Rig {
    explicit Rig(std::string_view json) : world(clock, ScenarioFrom(json)) {}

    std::unique_ptr<HidDevice> OpenBootLoader(std::size_t index = 0) {
        const auto path = world.bus().InterfacePath(index);
        return path ? world.bus().Open(*path) : nullptr;
    }
    // Report ID 0, the command, the address little-endian, the length; data zero.
    static Report Command(std::uint8_t command, std::uint32_t address = 0,
                          std::uint8_t length = 0) {
        return {0x00,
                command,
                static_cast<std::uint8_t>(address),
                static_cast<std::uint8_t>(address >> 8),
                static_cast<std::uint8_t>(address >> 16),
                static_cast<std::uint8_t>(address >> 24),
                length};
    }
    static Report Program(std::uint32_t address, std::span<const std::uint8_t> data) {
        Report report = Command(kProgram, address, static_cast<std::uint8_t>(data.size()));
        std::copy(data.begin(), data.end(), report.begin() + 7);
        return report;
    }
    Transfer Send(HidDevice& device, const Report& report) { return device.Write(report, 1000); }
    std::optional<Report> ReadAt(HidDevice& device, std::uint32_t address,
                                 std::uint8_t length = 58) {
        Send(device, Command(kRead, address, length));
        Report reply{};
        if (device.Read(reply, 50) != Transfer::kCompleted) return std::nullopt;
        return reply;
    }
    // What the updater does with an image, without the updater: erase, program the whole
    // application area, optionally end the programming, reset.
    void Flash(HidDevice& device, const std::array<std::uint8_t, 0x6000>& image, bool end = true) {
        Send(device, Command(kErase));
        for (std::uint32_t address = 0x1100; address < 0x6000; address += 58) {
            const std::size_t length = std::min<std::uint32_t>(58, 0x6000 - address);
            Send(device, Program(address, std::span(image).subspan(address, length)));
        }
        if (end) Send(device, Command(kProgramEnd, 0x5FD8, 40));
        Send(device, Command(kReset));
    }
    std::optional<std::uint16_t> AppVersion(int index = 0) {
        auto device = world.driver().Open("\\\\.\\QvtUsb2Device" + std::to_string(index));
        if (!device) return std::nullopt;
        std::array<std::uint8_t, 2> out{};
        if (!Call(*device, kGetVersion, nullptr, 0, out.data(), 2)) return 0xDEAD;
        return static_cast<std::uint16_t>(out[0] | (out[1] << 8));
    }
    void RequestBoot(int index = 0) {
        auto device = world.driver().Open("\\\\.\\QvtUsb2Device" + std::to_string(index));
        ASSERT_TRUE(device);
        const std::uint8_t word[2] = {0x55, 0x02};
        Call(*device, kCommand, word, 2, nullptr, 0);
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

// --- The unit is as strict as a real device ---

TEST(StrictUnit, DecodesTheProtocolFromTheReportsBytes) {
    Rig rig(R"({"units": [{"mode": "boot", "version": "3.00"}]})");
    auto device = rig.OpenBootLoader();
    ASSERT_TRUE(device);
    const auto& flash = rig.world.unit(0).flash;
    // Erase: ID 0, command 4, everything else zero.
    rig.Send(*device, Report{0x00, 0x04});
    EXPECT_TRUE(std::all_of(flash.begin() + 0x1100, flash.end(), [](auto b) { return b == 0xFF; }));
    // A full chunk at 0x1100: address 00 11 00 00, length 0x3A.
    Report chunk{0x00, 0x05, 0x00, 0x11, 0x00, 0x00, 0x3A};
    for (std::size_t i = 0; i < 58; ++i) chunk[7 + i] = static_cast<std::uint8_t>(i);
    rig.Send(*device, chunk);
    EXPECT_EQ(flash[0x1100], 0x00);
    EXPECT_EQ(flash[0x1100 + 57], 57);
    EXPECT_EQ(flash[0x1100 + 58], 0xFF);
    // The short chunk at 0x5FD8 (D8 5F 00 00), 40 bytes (0x28): its 18 trailing bytes stay out.
    Report tail{0x00, 0x05, 0xD8, 0x5F, 0x00, 0x00, 0x28};
    std::fill(tail.begin() + 7, tail.end(), 0x11);
    rig.Send(*device, tail);
    EXPECT_EQ(flash[0x5FD8], 0x11);
    EXPECT_EQ(flash[0x5FFF], 0x11);
    EXPECT_EQ(flash[0x5FD7], 0xFF);
    EXPECT_FALSE(rig.world.unit(0).image_complete);
    // End of programming: command 6 with the last chunk's address and length.
    rig.Send(*device, Report{0x00, 0x06, 0xD8, 0x5F, 0x00, 0x00, 0x28});
    EXPECT_TRUE(rig.world.unit(0).image_complete);
    // A read at 0x1100 for 58 bytes: the reply carries them from byte 7.
    rig.Send(*device, Report{0x00, 0x07, 0x00, 0x11, 0x00, 0x00, 0x3A});
    Report reply{};
    ASSERT_EQ(device->Read(reply, 50), Transfer::kCompleted);
    EXPECT_EQ(reply[7], 0x00);
    EXPECT_EQ(reply[7 + 57], 57);
    // The address has 32 bits: 0x00011100 and 0x01001139 lie far past the flash, whose bytes
    // at 0x1100 and 0x1139 they share their low 16 bits with, and read as zeros.
    for (const Report& far : {Report{0x00, 0x07, 0x00, 0x11, 0x01, 0x00, 0x3A},
                              Report{0x00, 0x07, 0x39, 0x11, 0x00, 0x01, 0x01}}) {
        rig.Send(*device, far);
        ASSERT_EQ(device->Read(reply, 50), Transfer::kCompleted);
        EXPECT_TRUE(std::all_of(reply.begin() + 7, reply.end(), [](auto b) { return b == 0; }));
    }
    // Reset: command 8; the unit leaves the bus.
    rig.Send(*device, Report{0x00, 0x08});
    EXPECT_EQ(rig.world.unit(0).state, UnitState::kGone);
}

TEST(StrictUnit, TheDriverTakesItsCodesAndTheBootModeWordAsBytes) {
    Rig rig(R"({"units": [{"mode": "application", "version": "3.00"}]})");
    auto device = rig.world.driver().Open(kDevice0);
    ASSERT_TRUE(device);
    std::array<std::uint8_t, 2> version{};
    ASSERT_TRUE(Call(*device, 0x00222048, nullptr, 0, version.data(), 2));
    EXPECT_EQ(version, (std::array<std::uint8_t, 2>{0x00, 0x03}));  // 3.00, little-endian
    const std::uint8_t swapped[2] = {0x02, 0x55};
    EXPECT_FALSE(Call(*device, 0x0022205C, swapped, 2, nullptr, 0));
    EXPECT_EQ(rig.world.unit(0).boot_requests, 0);
    const std::uint8_t word[2] = {0x55, 0x02};
    EXPECT_TRUE(Call(*device, 0x0022205C, word, 2, nullptr, 0));
    EXPECT_EQ(rig.world.unit(0).boot_requests, 1);
}

TEST(StrictUnit, AStuckCellIsStuckInTheFlashAndKeepsTheApplicationFromStarting) {
    const auto image = SynthesizeFirmware(0x0310).program;
    const std::uint8_t wrong = static_cast<std::uint8_t>(~image[0x3000]);
    Rig rig(R"({"units": [{"mode": "boot"}], "faults": [{"kind": "stuck_byte",
                "address": "0x3000", "value": )" +
            std::to_string(wrong) + "}]}");
    auto device = rig.OpenBootLoader();
    rig.Send(*device, Rig::Command(kErase));
    EXPECT_EQ(rig.world.unit(0).flash[0x3000], wrong);  // the erase cannot reach it
    rig.Flash(*device, image);
    EXPECT_EQ(rig.world.unit(0).flash[0x3000], wrong);  // nor can programming
    rig.clock.Sleep(3000);
    EXPECT_FALSE(rig.AppVersion().has_value());
    EXPECT_TRUE(rig.OpenBootLoader());  // its own check sees the cell: back in the boot loader
}

TEST(StrictUnit, TheApplicationCheckCoversTheVersionWord) {
    auto image = SynthesizeFirmware(0x0310).program;
    image[0x1104] = 0xFF;  // the version word left erased
    image[0x1105] = 0xFF;
    Rig rig(testing::kOneBootLoader);
    auto device = rig.OpenBootLoader();
    rig.Flash(*device, image);
    rig.clock.Sleep(3000);
    EXPECT_FALSE(rig.AppVersion().has_value());  // it never comes back as 0xFFFF
    EXPECT_TRUE(rig.OpenBootLoader());
}

TEST(StrictUnit, AResetWithoutTheEndOfProgrammingStaysInTheBootLoader) {
    const auto image = SynthesizeFirmware(0x0310).program;
    Rig unended(testing::kOneBootLoader);
    unended.Flash(*unended.OpenBootLoader(), image, false);
    unended.clock.Sleep(3000);
    EXPECT_FALSE(unended.AppVersion().has_value());
    EXPECT_TRUE(unended.OpenBootLoader());

    Rig ended(testing::kOneBootLoader);
    ended.Flash(*ended.OpenBootLoader(), image, true);
    ended.clock.Sleep(3000);
    EXPECT_EQ(ended.AppVersion(), 0x0310);
}

TEST(StrictUnit, AReportWithAnotherIdOrSizeFailsAtOnceAndChangesNothing) {
    Rig rig(R"({"units": [{"mode": "boot", "version": "3.00"}]})");
    auto device = rig.OpenBootLoader();
    const std::uint8_t before = rig.world.unit(0).flash[0x1200];
    ASSERT_NE(before, 0xFF);
    Report numbered = Rig::Command(kErase);
    numbered[0] = 0x07;
    EXPECT_EQ(device->Write(numbered, 1000), Transfer::kFailed);
    const std::array<std::uint8_t, 64> short_report{0x00, kErase};
    EXPECT_EQ(device->Write(short_report, 1000), Transfer::kFailed);
    EXPECT_EQ(rig.clock.NowMs(), 0u);
    EXPECT_EQ(rig.world.unit(0).flash[0x1200], before);
    EXPECT_EQ(rig.world.unit(0).total_received, 0);
}

TEST(StrictUnit, AReadAnswersExactlyTheLengthItAskedFor) {
    Rig rig(R"({"units": [{"mode": "boot", "version": "3.00"}]})");
    auto device = rig.OpenBootLoader();
    const auto reply = rig.ReadAt(*device, 0x1200, 10);
    ASSERT_TRUE(reply);
    const auto& flash = rig.world.unit(0).flash;
    EXPECT_TRUE(std::equal(flash.begin() + 0x1200, flash.begin() + 0x120A, reply->begin() + 7));
    EXPECT_TRUE(std::all_of(reply->begin() + 17, reply->end(), [](auto b) { return b == 0; }));
    ASSERT_NE(flash[0x120A], 0x00);  // so that the zeros are the length's doing
}

TEST(StrictUnit, EachOpenHandleHearsEveryReplyInItsOwnBuffer) {
    Rig rig(R"({"units": [{"mode": "boot", "version": "3.00"}]})");
    auto first = rig.OpenBootLoader();
    rig.Send(*first, Rig::Command(kRead, 0x1100, 58));
    auto second = rig.OpenBootLoader();  // opened while the reply is on its way
    Report reply{};
    EXPECT_EQ(first->Read(reply, 50), Transfer::kCompleted);  // not cleared by the second open
    EXPECT_EQ(reply[2], 0x00);
    EXPECT_EQ(reply[3], 0x11);
    EXPECT_EQ(second->Read(reply, 50), Transfer::kCompleted);  // it was open when it arrived
    rig.clock.Sleep(10);
    auto third = rig.OpenBootLoader();
    EXPECT_EQ(third->Read(reply, 50), Transfer::kTimedOut);  // a new handle starts empty
    rig.Send(*third, Rig::Command(kRead, 0x1200, 58));
    for (auto* handle : {first.get(), second.get(), third.get()}) {
        EXPECT_EQ(handle->Read(reply, 50), Transfer::kCompleted);
        EXPECT_EQ(reply[3], 0x12);
    }
}

TEST(StrictUnit, AHandleKeepsTheNewestThirtyTwoReplies) {
    Rig rig(R"({"units": [{"mode": "boot", "version": "3.00"}]})");
    auto device = rig.OpenBootLoader();
    for (std::uint32_t i = 0; i < 33; ++i) rig.Send(*device, Rig::Command(kRead, 0x1100 + i, 58));
    rig.clock.Sleep(10);
    Report reply{};
    for (std::uint32_t i = 1; i < 33; ++i) {
        ASSERT_EQ(device->Read(reply, 50), Transfer::kCompleted);
        EXPECT_EQ(Rig::Command(kRead, 0x1100 + i)[2], reply[2]) << "the oldest one is dropped";
    }
    EXPECT_EQ(device->Read(reply, 50), Transfer::kTimedOut);
}

TEST(StrictUnit, TheDriverOpensItsNineExactNamesOnceAtATime) {
    Rig rig(R"({"units": [{"mode": "application", "version": "3.00"}]})");
    EXPECT_FALSE(rig.world.driver().Open("\\\\.\\QvtUsb2Device00"));
    EXPECT_FALSE(rig.world.driver().Open("\\\\.\\QvtUsb2Device"));
    EXPECT_FALSE(rig.world.driver().Open("\\\\.\\QvtUsb2Device0 "));
    auto device = rig.world.driver().Open(kDevice0);
    ASSERT_TRUE(device);
    EXPECT_FALSE(rig.world.driver().Open(kDevice0));  // one open at a time
    std::array<std::uint8_t, 4> wide{};
    EXPECT_FALSE(Call(*device, kGetVersion, nullptr, 0, wide.data(), 4));
    EXPECT_FALSE(Call(*device, kGetVersion, nullptr, 0, wide.data(), 1));
    const std::uint8_t word[3] = {0x55, 0x02, 0x00};
    EXPECT_FALSE(Call(*device, kCommand, word, 3, nullptr, 0));
    EXPECT_EQ(rig.world.unit(0).boot_requests, 0);
    device.reset();
    EXPECT_TRUE(rig.world.driver().Open(kDevice0));
}

TEST(StrictUnit, EveryDeliveredWriteAndAnsweredReadCostsATransfer) {
    Rig rig(R"({"units": [{"mode": "boot", "version": "3.00"}], "transfer_ms": 4})");
    auto device = rig.OpenBootLoader();
    rig.Send(*device, Rig::Command(kErase));
    EXPECT_EQ(rig.clock.NowMs(), 4u);
    ASSERT_TRUE(rig.ReadAt(*device, 0x1100));
    EXPECT_EQ(rig.clock.NowMs(), 4u + 4u + 4u);
}

}  // namespace
}  // namespace qvt::sim
