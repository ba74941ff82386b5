#include "boot_protocol.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "fakes.h"
#include "protocol_rig.h"
#include "scramble.h"
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
    EXPECT_EQ(rig.Received(BootCommand::kErase), 3);
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

TEST(WaitForBootLoader, GivesUpAfterTwoHundredSearchesASecondApartPumpingAfterEach) {
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

TEST(WaitForBootLoader, CountsTheSearchesBeforeTheBootLoaderAppeared) {
    ProtocolRig rig(
        R"({"units": [{"mode": "application"}], "boot_switch_delay_ms": 4500, "transfer_ms": 1})");
    rig.updater.app.RequestBootMode(rig.updater.model, false);
    const auto start = rig.clock.NowMs();
    EXPECT_TRUE(rig.protocol().ResetDevice(0));
    EXPECT_TRUE(rig.Logged("[ResetDevice]OpenHid count:5"));
    // Five searches a second apart, 1000 ms before the report, its transfer, the settle.
    EXPECT_EQ(rig.clock.NowMs() - start, 5000u + 1000u + 1u + 1500u);
}

TEST(BlankCheck, ReadsTheRangeTwiceInChunksOfFiftyEight) {
    ProtocolRig rig(testing::kOneBootLoader);
    EXPECT_TRUE(rig.protocol().BlankCheck(0));
    ASSERT_EQ(rig.history().size(), 698u);
    for (std::size_t i = 0; i < 349; ++i) {
        const auto report = rig.Report(i);
        EXPECT_EQ(report.command(), BootCommand::kRead);
        EXPECT_EQ(report.address(), 0x1100 + 58 * i);
        EXPECT_EQ(report.length(), 58);  // the short chunk asks for 58 too
        EXPECT_EQ(rig.Report(349 + i).address(), report.address());
    }
    EXPECT_EQ(rig.Report(348).address(), 0x5FD8u);
}

TEST(BlankCheck, ASilentBootLoaderFailsAtTheFirstChunk) {
    ProtocolRig rig(R"({"units": [{"mode": "boot"}], "faults": [{"kind": "silent_reads"}]})");
    EXPECT_FALSE(rig.protocol().BlankCheck(0));
    EXPECT_EQ(rig.log().back(), "[BlankCheck]error! adr=4352");
    EXPECT_EQ(rig.controls().message, text::kBlankError);
    EXPECT_EQ(rig.history().size(), 1u);  // nothing more after the difference
}

TEST(BlankCheck, ABootLoaderThatStopsAnsweringIsNotTakenForBlank) {
    // Its last reply was all 0xFF: without a reply the chunk counts as different.
    ProtocolRig rig(
        R"({"units": [{"mode": "boot"}], "faults": [{"kind": "silent_reads", "from": 400}]})");
    EXPECT_FALSE(rig.protocol().BlankCheck(0));
    EXPECT_EQ(rig.log().back(), "[BlankCheck]error! adr=" + std::to_string(0x1100 + 58 * 50));
}

TEST(ProgramVerify, SendsTheImageInThreePassesAndTheEndReport) {
    ProtocolRig rig(R"({"units": [{"mode": "boot", "version": "3.00"}]})");
    rig.protocol().EraseDevice(0);
    const std::size_t first = rig.history().size();
    EXPECT_TRUE(rig.ProgramVerify());
    EXPECT_TRUE(rig.verification_began);
    EXPECT_EQ(rig.controls().message, text::kVerifyDone);
    EXPECT_TRUE(rig.UnitHoldsImage());
    const auto& image = rig.updater.firmware.program;
    for (int pass = 0; pass < 3; ++pass) {
        for (std::size_t chunk = 0; chunk < 349; ++chunk) {
            const auto report = rig.Report(first + pass * 349 + chunk);
            const std::uint32_t address = 0x1100 + 58 * static_cast<std::uint32_t>(chunk);
            ASSERT_EQ(report.command(), BootCommand::kProgram);
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
    const auto end = rig.Report(first + 3 * 349);
    EXPECT_EQ(end.command(), BootCommand::kProgramEnd);
    EXPECT_EQ(end.address(), 0x5FD8u);
    EXPECT_EQ(end.length(), 40);
    EXPECT_TRUE(std::equal(end.data().begin(), end.data().end(),
                           rig.Report(first + 3 * 349 - 1).data().begin()));
    // The verification's read requests carry the last program report's data bytes.
    const auto read = rig.Report(first + 3 * 349 + 1);
    EXPECT_EQ(read.command(), BootCommand::kRead);
    EXPECT_EQ(read.length(), 58);
    EXPECT_TRUE(std::equal(read.data().begin(), read.data().end(), end.data().begin()));
}

// The reports that programming and verification send for an image whose boot-loader area
// and trailer are filled with the given bytes.
std::vector<std::array<std::uint8_t, kReportSize>> ReportsFor(std::uint8_t boot_area,
                                                              std::uint8_t trailer) {
    auto plain = sim::SynthesizeFirmware(0x0310);
    std::fill(plain.program.begin(), plain.program.begin() + kFlashFirstAddress, boot_area);
    plain.trailer.fill(trailer);
    std::vector<std::uint8_t> bytes(tools::kPlainImageSize);
    std::copy(plain.program.begin(), plain.program.end(), bytes.begin());
    std::copy(plain.trailer.begin(), plain.trailer.end(), bytes.begin() + kProgramAreaSize);
    std::array<std::uint8_t, 256> table{};
    for (std::size_t i = 0; i < table.size(); ++i) {
        table[i] = static_cast<std::uint8_t>(ProductDescrambleTable()[i]);
    }
    const std::array<std::uint8_t, tools::kProductTagSize> tag{'Q', 'V', 'T'};
    testing::BytesResource resource(
        tools::ScrambleImage(std::span<const std::uint8_t, tools::kPlainImageSize>(bytes), 0x0310,
                             tag, table),
        testing::BytesResource::DigestOf(bytes));

    ProtocolRig rig;
    FirmwareImage image;
    FirmwareImageLoader loader(resource, ProductDescrambleTable(), image);
    BootProtocol protocol(rig.updater.link, loader, image, rig.clock, rig.updater.model);
    EXPECT_TRUE(rig.ProgramVerify(protocol));
    // The image really carried the bytes that must stay behind.
    EXPECT_EQ(image.program[0], boot_area);
    EXPECT_EQ(image.program[kFlashFirstAddress - 1], boot_area);
    EXPECT_EQ(image.trailer[0], trailer);
    return rig.history();
}

TEST(ProgramVerify, NeverSendsTheBootLoaderAreaOrTheTrailer) {
    const auto reports = ReportsFor(0x00, 0x00);
    ASSERT_EQ(reports.size(), 1047u + 1u + 698u);  // program, end, verification reads
    for (const auto& bytes : reports) {
        BootCommandReport report;
        report.bytes = bytes;
        EXPECT_GE(report.address(), kFlashFirstAddress);
        EXPECT_LT(report.address(), kFlashEndAddress);
        // The data a program report carries ends within the flash; a read may ask past it.
        if (report.command() == BootCommand::kProgram) {
            EXPECT_LE(report.address() + report.length(), kFlashEndAddress);
        }
    }
    // Other bytes below 0x1100 and another trailer change no report at all.
    EXPECT_EQ(ReportsFor(0xA5, 0x5A), reports);
}

TEST(ProgramVerify, ReplyBytesPastTheShortChunkAreNotCompared) {
    // The simulated boot loader answers zeros past 0x5FFF; the image has 0xFF padding there.
    ProtocolRig rig;
    rig.protocol().EraseDevice(0);
    EXPECT_TRUE(rig.ProgramVerify());
}

TEST(ProgramVerify, AnImageThatNoLongerLoadsFailsTheStepBeforeAnyReport) {
    testing::BytesResource missing(std::nullopt);
    ProtocolRig rig;
    FirmwareImage image;
    FirmwareImageLoader loader(missing, ProductDescrambleTable(), image);
    BootProtocol protocol(rig.updater.link, loader, image, rig.clock, rig.updater.model);
    EXPECT_TRUE(protocol.EraseDevice(0));
    const auto reports = rig.history().size();
    EXPECT_FALSE(rig.ProgramVerify(protocol));
    EXPECT_EQ(rig.history().size(), reports);  // the erased 0xFF pattern is never programmed
    EXPECT_FALSE(rig.verification_began);
    EXPECT_EQ(rig.log().back(), "[ProgramVerify]image error!");
    EXPECT_EQ(rig.controls().message, text::kImageError);
    EXPECT_EQ(rig.world.open_handles(), 0);
}

TEST(TwoBootLoaders, EveryReportGoesOutOncePerDeviceNumberToTheKeptOne) {
    ProtocolRig rig(R"({"units": [{"mode": "boot"}, {"mode": "boot"}]})");
    EXPECT_TRUE(rig.protocol().EraseDevice(0));
    EXPECT_EQ(rig.Received(BootCommand::kErase, 1), 6);
    EXPECT_EQ(rig.Received(BootCommand::kErase, 0), 0);
    // The first reset restarts the kept unit, so the second device number's write finds it
    // gone: both numbers reach one device.
    EXPECT_FALSE(rig.protocol().ResetDevice(0));
    EXPECT_EQ(rig.Received(BootCommand::kReset, 1), 1);
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
