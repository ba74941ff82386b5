// The simulated QVT-40 R3 is as strict as a real device: an updater that gets the wire format,
// the driver's codes or the host's buffering wrong fails against it.
#include "sim_rig.h"

namespace qvt::sim {
namespace {

using namespace rig;

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
