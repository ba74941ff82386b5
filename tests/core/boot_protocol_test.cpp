// The boot protocol's procedures that move the unit through its steps: the bytes on the wire,
// the erase, the wait for the boot loader, two boot loaders at once and the reset. The read-backs
// (blank check, programming and verification) are in boot_read_back_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "fakes.h"
#include "protocol_rig.h"
#include "texts.h"

namespace qvt {
namespace {

using testing::ProtocolRig;

// The protocol as the wire carries it, stated byte by byte: an updater that swapped two codes
// or wrote the address big-endian fails here, whatever the device would make of it.
TEST(WireFormat, TheProceduresSendTheseBytes) {
    using Bytes = std::array<std::uint8_t, kReportSize>;
    ProtocolRig rig;
    ASSERT_TRUE(rig.protocol().EraseDevice(0));
    ASSERT_TRUE(rig.protocol().BlankCheck(0));
    const std::size_t program_at = rig.history().size();
    ASSERT_TRUE(rig.ProgramVerify());
    ASSERT_TRUE(rig.protocol().ResetDevice(0));
    const auto& image = rig.updater.firmware.program;
    auto with_data = [&](Bytes head, std::uint32_t from, std::size_t count) {
        std::copy_n(image.begin() + from, count, head.begin() + 7);
        return head;
    };

    EXPECT_EQ(rig.history().at(0), (Bytes{0x00, 0x04}));                                // erase
    EXPECT_EQ(rig.history().at(3), (Bytes{0x00, 0x07, 0x00, 0x11, 0x00, 0x00, 0x3A}));  // read
    EXPECT_EQ(rig.history().at(3 + 348),
              (Bytes{0x00, 0x07, 0xD8, 0x5F, 0x00, 0x00, 0x3A}));  // the short chunk asks 58
    EXPECT_EQ(rig.history().at(program_at),
              with_data({0x00, 0x05, 0x00, 0x11, 0x00, 0x00, 0x3A}, 0x1100, 58));
    // The short chunk: 40 bytes at 0x5FD8, the rest still the chunk before it.
    Bytes short_chunk = with_data({0x00, 0x05, 0xD8, 0x5F, 0x00, 0x00, 0x28}, 0x5FD8, 40);
    std::copy_n(image.begin() + 0x5F9E + 40, 18, short_chunk.begin() + 7 + 40);
    EXPECT_EQ(rig.history().at(program_at + 348), short_chunk);
    Bytes end = short_chunk;
    end[1] = 0x06;
    EXPECT_EQ(rig.history().at(program_at + 3 * 349), end);
    EXPECT_EQ(rig.history().back(), (Bytes{0x00, 0x08}));  // reset
}

TEST(EraseDevice, SucceedsWithItsTextsProgressAndTimes) {
    ProtocolRig rig(R"({"units": [{"mode": "boot"}], "transfer_ms": 1})");
    EXPECT_TRUE(rig.protocol().EraseDevice(0));
    EXPECT_EQ(rig.controls().progress_position, 2);
    EXPECT_EQ(rig.controls().message, text::kEraseDone);
    EXPECT_EQ(rig.log(), std::vector<std::string>{"[EraseDevice]OpenHid count:0"});
    // 1000 ms before the first report, three passes of one report and 500 ms, then the settle.
    EXPECT_EQ(rig.clock.NowMs(), 1000u + 3 * (1u + 500u) + 1500u);
    EXPECT_EQ(rig.Received(BOOT_CMD_ERASE), 3);
    const auto report = rig.Report(0);
    EXPECT_TRUE(std::all_of(report.bytes.begin() + 2, report.bytes.end(),
                            [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(rig.world.open_handles(), 0);
}

TEST(EraseDevice, OnlyTheThirdPassDecides) {
    ProtocolRig refused_first(
        R"({"units": [{"mode": "boot"}], "faults": [{"kind": "refuse_writes", "command": "erase", "count": 2}]})");
    EXPECT_TRUE(refused_first.protocol().EraseDevice(0));

    // ... and only every report of it: of two boot loaders, one that missed it fails the erase.
    const std::pair<const char*, const char*> refused_last[] = {
        {R"({"units": [{"mode": "boot"}], "faults": [{"kind": "refuse_writes", "command": "erase", "from": 3}]})",
         "[EraseDevice]erase error! (DevNum:1 / cnt:0)"},
        {R"({"units": [{"mode": "boot"}, {"mode": "boot"}], "faults": [{"unit": 1, "kind": "refuse_writes", "command": "erase", "from": 5, "count": 1}]})",
         "[EraseDevice]erase error! (DevNum:2 / cnt:1)"}};
    for (const auto& [scenario, log] : refused_last) {
        ProtocolRig rig(scenario);
        EXPECT_FALSE(rig.protocol().EraseDevice(0)) << scenario;
        EXPECT_EQ(rig.controls().message, text::kEraseError);
        EXPECT_EQ(rig.controls().progress_position, 1);
        EXPECT_TRUE(rig.Logged(log)) << scenario;
        EXPECT_EQ(rig.world.open_handles(), 0);
    }
}

TEST(OpenHid, GivesUpAfterTwoHundredSearchesASecondApartPumpingAfterEach) {
    ProtocolRig rig(R"({"units": []})");
    // The window answers between two searches: a pump after every one of them.
    std::vector<long> pumped_after;
    rig.view.on_pump = [&] { pumped_after.push_back(rig.world.searches()); };
    EXPECT_FALSE(rig.protocol().BlankCheck(0));
    EXPECT_EQ(rig.world.searches(), 200);
    for (long search = 1; search <= 200; ++search) {
        ASSERT_NE(std::find(pumped_after.begin(), pumped_after.end(), search), pumped_after.end())
            << "no pump after search " << search;
    }
    EXPECT_EQ(rig.clock.NowMs(), 200'000u);
    EXPECT_EQ(rig.log(), (std::vector<std::string>{"[BlankCheck]OpenHid count:200",
                                                   "[BlankCheck]OpenHid error!"}));
    EXPECT_EQ(rig.controls().message, text::kBootLoaderNotFound);
    EXPECT_EQ(rig.controls().progress_position, 1);
}

TEST(OpenHid, CountsTheSearchesBeforeTheBootLoaderAppeared) {
    ProtocolRig rig(
        R"({"units": [{"mode": "application"}], "boot_switch_delay_ms": 4500, "transfer_ms": 1})");
    rig.updater.app.RequestBootMode(rig.updater.model, false);
    const auto start = rig.clock.NowMs();
    EXPECT_TRUE(rig.protocol().ResetDevice(0));
    EXPECT_TRUE(rig.Logged("[ResetDevice]OpenHid count:5"));
    // Five searches a second apart, 1000 ms before the report, its transfer, the settle.
    EXPECT_EQ(rig.clock.NowMs() - start, 5000u + 1000u + 1u + 1500u);
}

TEST(TwoBootLoaders, EveryReportGoesOutOncePerDeviceNumberToTheKeptOne) {
    ProtocolRig rig(R"({"units": [{"mode": "boot"}, {"mode": "boot"}]})");
    EXPECT_TRUE(rig.protocol().EraseDevice(0));
    EXPECT_EQ(rig.Received(BOOT_CMD_ERASE, 1), 6);
    EXPECT_EQ(rig.Received(BOOT_CMD_ERASE, 0), 0);
    // The first reset restarts the kept unit, so the second device number's write finds it
    // gone: both numbers reach one device.
    EXPECT_FALSE(rig.protocol().ResetDevice(0));
    EXPECT_EQ(rig.Received(BOOT_CMD_RESET, 1), 1);
    EXPECT_TRUE(rig.Logged("[ResetDevice]erase error! (DevNum:2 / retcnt:1)"));
}

TEST(ResetDevice, ATimedOutResetFailsWithItsCounts) {
    ProtocolRig rig(
        R"({"units": [{"mode": "boot"}], "faults": [{"kind": "refuse_writes", "command": "reset"}]})");
    EXPECT_FALSE(rig.protocol().ResetDevice(0));
    EXPECT_EQ(rig.controls().message, text::kResetError);
    EXPECT_EQ(rig.log().back(), "[ResetDevice]erase error! (DevNum:1 / retcnt:0)");
}

TEST(ResetDevice, AnAcceptedResetRestartsTheUnit) {
    ProtocolRig rig;
    EXPECT_TRUE(rig.protocol().ResetDevice(0));
    EXPECT_EQ(rig.controls().message, text::kResetDone);
    EXPECT_EQ(rig.controls().progress_position, 2);
    EXPECT_EQ(rig.world.unit(0).state, sim::UnitState::kGone);
}

}  // namespace
}  // namespace qvt
