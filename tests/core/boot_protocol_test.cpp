#include "boot_protocol.h"

#include <gtest/gtest.h>

#include "bench.h"
#include "fakes.h"
#include "texts.h"

namespace qvt {
namespace {

using testing::Bench;

// A window mid-run with one boot loader attached, as the procedures find it.
struct ProtocolBench : Bench {
    explicit ProtocolBench(std::string_view json = R"({"units": [{"mode": "boot"}]})")
        : Bench(json) {
        updater.image.LoadFirmwareImage(updater.window);
        updater.window.UpdateState = 2;
    }
    Window& window() { return updater.window; }
    BootProtocol& protocol() { return updater.protocol; }
    const std::vector<std::array<std::uint8_t, kReportSize>>& history(std::size_t unit = 0) {
        return world.unit(unit).history;
    }
    BootCommandReport Report(std::size_t i, std::size_t unit = 0) {
        BootCommandReport report;
        report.bytes = history(unit).at(i);
        return report;
    }
};

TEST(EraseDevice, SucceedsWithItsTextsProgressAndTimes) {
    ProtocolBench bench;
    EXPECT_TRUE(bench.protocol().EraseDevice(bench.window()));
    EXPECT_EQ(bench.window().UpdateState, 3);
    EXPECT_EQ(bench.controls().progress_position, 2);
    EXPECT_EQ(bench.controls().message, text::kEraseDone);
    EXPECT_EQ(bench.log(), std::vector<std::string>{"[EraseDevice]OpenHid count:0"});
    // 1000 ms before the first report, three passes of 500 ms, then the settle wait.
    EXPECT_EQ(bench.clock.NowMs(), 1000u + 1500u + 1500u);
    EXPECT_EQ(bench.Received(BOOT_CMD_ERASE), 3);
    const auto report = bench.Report(0);
    EXPECT_TRUE(std::all_of(report.bytes.begin() + 2, report.bytes.end(),
                            [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(bench.world.open_handles(), 0);
}

TEST(EraseDevice, OnlyTheThirdPassDecides) {
    ProtocolBench refused_first(
        R"({"units": [{"mode": "boot"}], "faults": [{"kind": "refuse_writes", "command": "erase", "count": 2}]})");
    EXPECT_TRUE(refused_first.protocol().EraseDevice(refused_first.window()));

    ProtocolBench refused_last(
        R"({"units": [{"mode": "boot"}], "faults": [{"kind": "refuse_writes", "command": "erase", "from": 3}]})");
    EXPECT_FALSE(refused_last.protocol().EraseDevice(refused_last.window()));
    EXPECT_EQ(refused_last.window().UpdateState, 0);
    EXPECT_EQ(refused_last.controls().message, text::kEraseError);
    EXPECT_EQ(refused_last.controls().progress_position, 1);
    EXPECT_TRUE(refused_last.Logged("[EraseDevice]erase error! (DevNum:1 / cnt:0)"));
    EXPECT_EQ(refused_last.world.open_handles(), 0);
}

TEST(DiscoveryWait, GivesUpAfterTwoHundredSearchesASecondApart) {
    ProtocolBench bench(R"({"units": []})");
    EXPECT_FALSE(bench.protocol().BlankCheck(bench.window()));
    EXPECT_EQ(bench.world.searches(), 200);
    EXPECT_EQ(bench.clock.NowMs(), 200'000u);
    EXPECT_EQ(bench.log(), (std::vector<std::string>{"[BlankCheck]OpenHid count:200",
                                                     "[BlankCheck]OpenHid error!"}));
    EXPECT_EQ(bench.controls().message, text::kBootLoaderNotFound);
    EXPECT_EQ(bench.window().UpdateState, 0);
    EXPECT_EQ(bench.controls().progress_position, 1);
}

TEST(DiscoveryWait, CountsTheSearchesBeforeTheBootLoaderAppeared) {
    ProtocolBench bench(R"({"units": [{"mode": "application"}], "boot_switch_delay_ms": 4500})");
    bench.updater.app.RequestBootMode(bench.window());
    const auto start = bench.clock.NowMs();
    EXPECT_TRUE(bench.protocol().ResetDevice(bench.window()));
    EXPECT_TRUE(bench.Logged("[ResetDevice]OpenHid count:5"));
    EXPECT_EQ(bench.clock.NowMs() - start, 5000u + 1000u + 1500u);
}

TEST(BlankCheck, ReadsTheRangeTwiceInChunksOfFiftyEight) {
    ProtocolBench bench(R"({"units": [{"mode": "boot"}]})");
    EXPECT_TRUE(bench.protocol().BlankCheck(bench.window()));
    EXPECT_EQ(bench.window().UpdateState, 4);
    ASSERT_EQ(bench.history().size(), 698u);
    for (std::size_t i = 0; i < 349; ++i) {
        const auto report = bench.Report(i);
        EXPECT_EQ(report.command(), BOOT_CMD_READ);
        EXPECT_EQ(report.address(), 0x1100 + 58 * i);
        EXPECT_EQ(report.length(), 58);  // the short chunk asks for 58 too
        EXPECT_EQ(bench.Report(349 + i).address(), report.address());
    }
    EXPECT_EQ(bench.Report(348).address(), 0x5FD8u);
}

TEST(BlankCheck, ASilentBootLoaderFailsAtTheFirstChunk) {
    ProtocolBench bench(R"({"units": [{"mode": "boot"}], "faults": [{"kind": "silent_reads"}]})");
    EXPECT_FALSE(bench.protocol().BlankCheck(bench.window()));
    EXPECT_EQ(bench.log().back(), "[BlankCheck]error! adr=4352");
    EXPECT_EQ(bench.controls().message, text::kBlankError);
    EXPECT_EQ(bench.history().size(), 1u);  // nothing more after the difference
}

TEST(BlankCheck, ABootLoaderThatStopsAnsweringIsNotTakenForBlank) {
    // Its last reply was all 0xFF: without a reply the chunk counts as different.
    ProtocolBench bench(
        R"({"units": [{"mode": "boot"}], "faults": [{"kind": "silent_reads", "from": 400}]})");
    EXPECT_FALSE(bench.protocol().BlankCheck(bench.window()));
    EXPECT_EQ(bench.log().back(), "[BlankCheck]error! adr=" + std::to_string(0x1100 + 58 * 50));
}

TEST(ProgramVerify, SendsTheImageInThreePassesAndTheEndReport) {
    ProtocolBench bench(R"({"units": [{"mode": "boot", "version": "3.00"}]})");
    bench.protocol().EraseDevice(bench.window());
    const std::size_t first = bench.history().size();
    EXPECT_TRUE(bench.protocol().ProgramVerify(bench.window()));
    EXPECT_EQ(bench.window().UpdateState, 6);
    EXPECT_EQ(bench.controls().message, text::kVerifyDone);
    EXPECT_TRUE(bench.UnitHoldsImage());
    const auto& image = bench.updater.window.firmware.program;
    for (int pass = 0; pass < 3; ++pass) {
        for (std::size_t chunk = 0; chunk < 349; ++chunk) {
            const auto report = bench.Report(first + pass * 349 + chunk);
            const std::uint32_t address = 0x1100 + 58 * static_cast<std::uint32_t>(chunk);
            ASSERT_EQ(report.command(), BOOT_CMD_PROGRAM);
            ASSERT_EQ(report.address(), address);
            const std::size_t length = chunk < 348 ? 58 : 40;
            ASSERT_EQ(report.length(), length);
            ASSERT_TRUE(std::equal(image.begin() + address, image.begin() + address + length,
                                   report.data().begin()));
            if (chunk == 348) {
                // The short report's tail still holds the bytes of the chunk before it.
                ASSERT_TRUE(std::equal(image.begin() + 0x5F9E + 40, image.begin() + 0x5F9E + 58,
                                       report.data().begin() + 40));
            }
        }
    }
    const auto end = bench.Report(first + 3 * 349);
    EXPECT_EQ(end.command(), BOOT_CMD_PROGRAM_END);
    EXPECT_EQ(end.address(), 0x5FD8u);
    EXPECT_EQ(end.length(), 40);
    EXPECT_TRUE(std::equal(end.data().begin(), end.data().end(),
                           bench.Report(first + 3 * 349 - 1).data().begin()));
    // The verification's read requests carry the last program report's data bytes.
    const auto read = bench.Report(first + 3 * 349 + 1);
    EXPECT_EQ(read.command(), BOOT_CMD_READ);
    EXPECT_EQ(read.length(), 58);
    EXPECT_TRUE(std::equal(read.data().begin(), read.data().end(), end.data().begin()));
}

TEST(ProgramVerify, NeverSendsTheBootLoaderAreaOrTheTrailer) {
    ProtocolBench bench;
    bench.protocol().ProgramVerify(bench.window());
    for (const auto& bytes : bench.history()) {
        BootCommandReport report;
        report.bytes = bytes;
        EXPECT_GE(report.address(), 0x1100u);
    }
}

TEST(ProgramVerify, ADifferenceIsLoggedAtItsChunksAddress) {
    struct Case {
        const char* address;
        int value;
        const char* line;
    };
    for (const Case& c : {Case{"0x1100", 0x00, "[ProgramVerify]error! adr=4352"},
                          Case{"0x5FE0", 0x00, "[ProgramVerify]error! adr=24536"}}) {
        ProtocolBench bench(
            std::string(
                R"({"units": [{"mode": "boot"}], "faults": [{"kind": "stuck_byte", "address": ")") +
            c.address + R"(", "value": )" + std::to_string(c.value) + "}]}");
        EXPECT_FALSE(bench.protocol().ProgramVerify(bench.window()));
        EXPECT_EQ(bench.log().back(), c.line);
        EXPECT_EQ(bench.window().UpdateState, 0);
        EXPECT_EQ(bench.controls().progress_position, 3);
        EXPECT_EQ(bench.controls().message, text::kVerifyError);
        EXPECT_EQ(bench.world.open_handles(), 0);
    }
}

TEST(ProgramVerify, ReplyBytesPastTheShortChunkAreNotCompared) {
    // The simulated boot loader answers zeros past 0x5FFF; the image has 0xFF padding there.
    ProtocolBench bench;
    bench.protocol().EraseDevice(bench.window());
    EXPECT_TRUE(bench.protocol().ProgramVerify(bench.window()));
}

TEST(ProgramVerify, AFailedReloadProgramsAndVerifiesTheErasedPattern) {
    testing::BytesResource missing(std::nullopt);
    ProtocolBench bench;
    FirmwareImageLoader loader(missing, ProductDescrambleTable());
    BootProtocol protocol(bench.updater.link, loader, bench.clock);
    EXPECT_TRUE(protocol.EraseDevice(bench.window()));
    EXPECT_TRUE(protocol.ProgramVerify(bench.window()));
    EXPECT_TRUE(std::all_of(bench.updater.window.firmware.program.begin(),
                            bench.updater.window.firmware.program.end(),
                            [](std::uint8_t b) { return b == 0xFF; }));
}

TEST(TwoBootLoaders, EveryReportGoesOutOncePerDeviceNumberToTheKeptOne) {
    ProtocolBench bench(R"({"units": [{"mode": "boot"}, {"mode": "boot"}]})");
    EXPECT_TRUE(bench.protocol().EraseDevice(bench.window()));
    EXPECT_EQ(bench.Received(BOOT_CMD_ERASE, 1), 6);
    EXPECT_EQ(bench.Received(BOOT_CMD_ERASE, 0), 0);
    // The first reset restarts the kept unit, so the second device number's write finds it
    // gone: both numbers reach one device.
    EXPECT_FALSE(bench.protocol().ResetDevice(bench.window()));
    EXPECT_EQ(bench.Received(BOOT_CMD_RESET, 1), 1);
    EXPECT_TRUE(bench.Logged("[ResetDevice]erase error! (DevNum:2 / retcnt:1)"));
}

TEST(ResetDevice, ATimedOutResetFailsWithItsCounts) {
    ProtocolBench bench(
        R"({"units": [{"mode": "boot"}], "faults": [{"kind": "refuse_writes", "command": "reset"}]})");
    EXPECT_FALSE(bench.protocol().ResetDevice(bench.window()));
    EXPECT_EQ(bench.controls().message, text::kResetError);
    EXPECT_EQ(bench.log().back(), "[ResetDevice]erase error! (DevNum:1 / retcnt:0)");
    EXPECT_EQ(bench.window().UpdateState, 0);
}

TEST(ResetDevice, AnAcceptedResetRestartsTheUnit) {
    ProtocolBench bench;
    EXPECT_TRUE(bench.protocol().ResetDevice(bench.window()));
    EXPECT_EQ(bench.controls().message, text::kResetDone);
    EXPECT_EQ(bench.window().UpdateState, 7);
    EXPECT_EQ(bench.controls().progress_position, 2);
    EXPECT_EQ(bench.world.unit(0).state, sim::UnitState::kGone);
}

}  // namespace
}  // namespace qvt
