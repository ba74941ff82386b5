// The read-back of the blank check and the verification: every byte of every chunk decides,
// and only the reply's comparison does.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "boot_protocol.h"
#include "protocol_rig.h"
#include "texts.h"

namespace qvt {
namespace {

using testing::ProtocolRig;

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
            const bool read_request = report[1] == static_cast<std::uint8_t>(BootCommand::kRead);
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

}  // namespace
}  // namespace qvt
