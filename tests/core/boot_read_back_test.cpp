// The boot protocol's read-backs: the blank check, programming and its verification, each
// compared byte for byte, whatever the boot loader or the bus does to the replies.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "fakes.h"
#include "protocol_rig.h"
#include "scramble.h"
#include "texts.h"

namespace qvt {
namespace {

using testing::ProtocolRig;

TEST(BlankCheck, ReadsTheRangeTwiceInChunksOfFiftyEight) {
    ProtocolRig rig(testing::kOneBootLoader);
    EXPECT_TRUE(rig.protocol().BlankCheck(0));
    ASSERT_EQ(rig.history().size(), 698u);
    for (std::size_t i = 0; i < 349; ++i) {
        const auto report = rig.Report(i);
        EXPECT_EQ(report.command(), BOOT_CMD_READ);
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
    const auto end = rig.Report(first + 3 * 349);
    EXPECT_EQ(end.command(), BOOT_CMD_PROGRAM_END);
    EXPECT_EQ(end.address(), 0x5FD8u);
    EXPECT_EQ(end.length(), 40);
    EXPECT_TRUE(std::equal(end.data().begin(), end.data().end(),
                           rig.Report(first + 3 * 349 - 1).data().begin()));
    // The verification's read requests carry the last program report's data bytes.
    const auto read = rig.Report(first + 3 * 349 + 1);
    EXPECT_EQ(read.command(), BOOT_CMD_READ);
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
        if (report.command() == BOOT_CMD_PROGRAM) {
            EXPECT_LE(report.address() + report.length(), kFlashEndAddress);
        }
    }
    // Other bytes below 0x1100 and another trailer change no report at all.
    EXPECT_EQ(ReportsFor(0xA5, 0x5A), reports);
}

// A read-back compares every byte of every chunk: a cell stuck at the first or the last byte of
// a 58-byte chunk, of the first and of the short last chunk (0x5FD8-0x5FFF), fails the blank
// check and the verification, each logged at its chunk's address.
TEST(ReadBack, EveryByteOfEveryChunkIsCompared) {
    const std::uint32_t addresses[] = {0x1100, 0x1139, 0x113A, 0x5FD8, 0x5FE0, 0x5FFF};
    const auto image = ProtocolRig().updater.firmware.program;
    for (const std::uint32_t address : addresses) {
        SCOPED_TRACE(address);
        const std::uint32_t chunk = 0x1100 + (address - 0x1100) / 58 * 58;
        auto stuck_at = [&](int value) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%04X", static_cast<unsigned>(address));
            return std::string(
                       R"({"units": [{"mode": "boot"}], "faults": [{"kind": "stuck_byte", )") +
                   R"("address": ")" + hex + R"(", "value": )" + std::to_string(value) + "}]}";
        };
        ProtocolRig blank(stuck_at(0x00));
        EXPECT_FALSE(blank.protocol().BlankCheck(0));
        EXPECT_EQ(blank.log().back(), "[BlankCheck]error! adr=" + std::to_string(chunk));
        EXPECT_EQ(blank.controls().message, text::kBlankError);

        ProtocolRig verify(stuck_at(image[address] ^ 0xFF));
        EXPECT_FALSE(verify.ProgramVerify());
        EXPECT_EQ(verify.log().back(), "[ProgramVerify]error! adr=" + std::to_string(chunk));
        EXPECT_EQ(verify.controls().progress_position, 3);
        EXPECT_EQ(verify.controls().message, text::kVerifyError);
        EXPECT_EQ(verify.world.open_handles(), 0);
    }
}

// The interfaces of a bus whose writes of read requests report a time-out although the
// request went out, as hidapi reports a write that outlasted its bound on Linux.
class LateWriteBus final : public HidBus {
  public:
    explicit LateWriteBus(HidBus& bus) : bus_(bus) {}
    std::optional<std::string> InterfacePath(std::size_t index) override {
        return bus_.InterfacePath(index);
    }
    std::optional<HidAttributes> Inspect(const std::string& path) override {
        return bus_.Inspect(path);
    }
    std::unique_ptr<HidDevice> Open(const std::string& path) override {
        auto device = bus_.Open(path);
        return device ? std::make_unique<Device>(std::move(device)) : nullptr;
    }

  private:
    struct Device final : HidDevice {
        explicit Device(std::unique_ptr<HidDevice> device) : inner(std::move(device)) {}
        bool GetAttributes(HidAttributes& attributes) override {
            return inner->GetAttributes(attributes);
        }
        Transfer Write(std::span<const std::uint8_t> report, std::uint32_t timeout_ms) override {
            const Transfer sent = inner->Write(report, timeout_ms);
            const bool read_request = report[1] == static_cast<std::uint8_t>(BOOT_CMD_READ);
            return sent == Transfer::kCompleted && read_request ? Transfer::kTimedOut : sent;
        }
        Transfer Read(std::span<std::uint8_t> report, std::uint32_t timeout_ms) override {
            return inner->Read(report, timeout_ms);
        }
        std::unique_ptr<HidDevice> inner;
    };
    HidBus& bus_;
};

// Only the comparison of the reply decides a chunk: a read request whose write the bus called
// timed out, but which reached the unit and was answered, passes like any other.
TEST(ReadBack, AReadRequestReportedAsNotAcceptedButAnsweredPasses) {
    ProtocolRig rig;
    LateWriteBus late(rig.world.bus());
    BootLoaderLink link(late, rig.clock, rig.view);
    BootProtocol protocol(link, rig.updater.loader, rig.updater.firmware, rig.clock,
                          rig.updater.model);
    EXPECT_TRUE(protocol.BlankCheck(0));
    EXPECT_TRUE(rig.ProgramVerify(protocol));
    EXPECT_EQ(rig.world.open_handles(), 0);
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

}  // namespace
}  // namespace qvt
