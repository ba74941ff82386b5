#include "boot_loader_link.h"

#include <gtest/gtest.h>

#include "rig.h"

namespace qvt {
namespace {

using testing::Rig;

// A bus whose paths at the listed indices fail to open, in front of the simulated one.
class FlakyBus final : public HidBus {
  public:
    FlakyBus(HidBus& inner, std::vector<std::size_t> failing)
        : inner_(inner), failing_(std::move(failing)) {}
    std::optional<std::string> InterfacePath(std::size_t index) override {
        return inner_.InterfacePath(index);
    }
    std::optional<HidAttributes> Inspect(const std::string& path) override {
        return inner_.Inspect(path);
    }
    std::unique_ptr<HidDevice> Open(const std::string& path) override {
        const std::size_t index = opens_++;
        if (std::find(failing_.begin(), failing_.end(), index) != failing_.end()) return nullptr;
        return inner_.Open(path);
    }

  private:
    HidBus& inner_;
    std::vector<std::size_t> failing_;
    std::size_t opens_ = 0;
};

TEST(FindBootLoaders, ForeignDevicesAloneAreNoBootLoader) {
    Rig rig(R"({"units": [], "foreign_hid": [{"vendor": "0x046D", "product": "0xC52B"}]})");
    EXPECT_FALSE(rig.updater.link.FindBootLoaders(0));
    EXPECT_EQ(rig.updater.link.boot_loader_count(), 0);
    EXPECT_EQ(rig.world.open_handles(), 0);
}

TEST(FindBootLoaders, MatchesTheVendorOrTheProductAlone) {
    for (const char* device : {R"({"vendor": "0x1234", "product": "0x0103"})",
                               R"({"vendor": "0x1232", "product": "0x9999"})"}) {
        Rig rig(
            std::string(
                R"({"units": [], "foreign_hid": [{"vendor": "0x046D", "product": "0xC52B"}, )") +
            device + "]}");
        EXPECT_TRUE(rig.updater.link.FindBootLoaders(0)) << device;
        EXPECT_EQ(rig.updater.link.boot_loader_count(), 1);
        EXPECT_EQ(rig.world.open_handles(), 1);  // only the kept one
        rig.updater.link.CloseBootLoaders();
        EXPECT_EQ(rig.world.open_handles(), 0);
    }
}

TEST(FindBootLoaders, TwoMatchesAgainstAnExpectationOfOneFailWithNoHandleOpen) {
    Rig rig(R"({"units": [{"mode": "boot"}, {"mode": "boot"}]})");
    EXPECT_FALSE(rig.updater.link.FindBootLoaders(1));
    EXPECT_EQ(rig.updater.link.boot_loader_count(), 0);
    EXPECT_EQ(rig.world.open_handles(), 0);
}

TEST(FindBootLoaders, WithoutAnExpectationTheSecondMatchIsKeptAndCarriesEveryTransfer) {
    Rig rig(R"({"units": [{"mode": "boot"}, {"mode": "boot"}, {"mode": "boot"}]})");
    auto& link = rig.updater.link;
    ASSERT_TRUE(link.FindBootLoaders(0));
    EXPECT_EQ(link.boot_loader_count(), 3);
    EXPECT_EQ(rig.world.open_handles(), 1);
    BootCommandReport report;
    report.set_command(BOOT_CMD_PROGRAM_END);
    for (int d = 0; d < link.boot_loader_count(); ++d)
        EXPECT_TRUE(link.WriteBootReport(report.bytes));
    EXPECT_EQ(rig.TotalReceived(0), 0);
    EXPECT_EQ(rig.TotalReceived(1), 3);
    EXPECT_EQ(rig.TotalReceived(2), 0);
    link.CloseBootLoaders();
    EXPECT_EQ(rig.world.open_handles(), 0);
}

TEST(FindBootLoaders, SkipsAPathThatFailsToOpen) {
    Rig rig(
        R"({"units": [{"mode": "boot"}], "foreign_hid": [{"vendor": "0x1232", "product": "0x0103"}]})");
    FlakyBus bus(rig.world.bus(), {0});
    BootLoaderLink link(bus, rig.clock, rig.view);
    EXPECT_TRUE(link.FindBootLoaders(0));
    EXPECT_EQ(link.boot_loader_count(), 1);
}

// The bus may leave anything in its buffer when a read times out (the simulated unit leaves
// 0xEE); the caller's reply buffer still holds what it held.
TEST(BoundedTransfers, ASilentReadCostsFiftyMillisecondsAndLeavesTheReplyAsItWas) {
    Rig rig(testing::kOneBootLoader);
    auto& link = rig.updater.link;
    ASSERT_TRUE(link.FindBootLoaders(0));
    BootReplyReport reply;
    reply.bytes.fill(0x5A);
    const auto before = rig.clock.NowMs();
    EXPECT_FALSE(link.ReadBootReport(reply.bytes));
    EXPECT_EQ(rig.clock.NowMs() - before, 50u);
    EXPECT_TRUE(std::all_of(reply.bytes.begin(), reply.bytes.end(),
                            [](std::uint8_t b) { return b == 0x5A; }));
}

TEST(BoundedTransfers, AReplyArrivesOneTransferAfterItsRequest) {
    Rig rig(R"({"units": [{"mode": "boot"}], "transfer_ms": 1})");
    auto& link = rig.updater.link;
    ASSERT_TRUE(link.FindBootLoaders(0));
    BootCommandReport request;
    request.set_command(BOOT_CMD_READ);
    request.set_address(0x1100);
    request.set_length(58);
    BootReplyReport reply;
    const auto before = rig.clock.NowMs();
    EXPECT_TRUE(link.WriteBootReport(request.bytes));
    EXPECT_EQ(rig.clock.NowMs() - before, 1u);  // the request's transfer
    EXPECT_TRUE(link.ReadBootReport(reply.bytes));
    EXPECT_EQ(rig.clock.NowMs() - before, 2u);  // and the reply's
    EXPECT_TRUE(std::all_of(reply.data().begin(), reply.data().end(),
                            [](std::uint8_t b) { return b == 0xFF; }));
}

TEST(BoundedTransfers, AHangingWriteCostsOneSecondAndFails) {
    Rig rig(R"({"units": [{"mode": "boot"}], "faults": [{"kind": "refuse_writes"}]})");
    auto& link = rig.updater.link;
    ASSERT_TRUE(link.FindBootLoaders(0));
    BootCommandReport report;
    const auto before = rig.clock.NowMs();
    EXPECT_FALSE(link.WriteBootReport(report.bytes));
    EXPECT_EQ(rig.clock.NowMs() - before, 1000u);
}

TEST(BoundedTransfers, AWriteThatFailsAtOnceIsAFailureWithoutWaiting) {
    Rig rig(R"({"units": [{"mode": "boot"}], "faults": [{"kind": "failing_writes"}]})");
    auto& link = rig.updater.link;
    ASSERT_TRUE(link.FindBootLoaders(0));
    BootCommandReport report;
    const auto before = rig.clock.NowMs();
    EXPECT_FALSE(link.WriteBootReport(report.bytes));
    EXPECT_EQ(rig.clock.NowMs(), before);
}

TEST(BoundedTransfers, NoKeptHandleMeansNoTransfer) {
    Rig rig(testing::kOneBootLoader);
    BootCommandReport report;
    EXPECT_FALSE(rig.updater.link.WriteBootReport(report.bytes));
    EXPECT_FALSE(rig.updater.link.ReadBootReport(report.bytes));
    EXPECT_EQ(rig.TotalReceived(), 0);
}

TEST(ProbeBootMode, SettlesForOneAndAHalfSecondsAndKeepsTheCount) {
    Rig rig(testing::kOneBootLoader);
    const auto before = rig.clock.NowMs();
    const long pumps = rig.view.pumps;
    EXPECT_TRUE(rig.updater.link.ProbeBootMode(0));
    EXPECT_EQ(rig.clock.NowMs() - before, 1500u);
    EXPECT_EQ(rig.view.pumps - pumps, 31);
    EXPECT_EQ(rig.updater.link.boot_loader_count(), 1);
    EXPECT_EQ(rig.world.open_handles(), 0);
}

TEST(ProbeBootMode, FindingNothingTakesNoTime) {
    Rig rig(R"({"units": []})");
    EXPECT_FALSE(rig.updater.link.ProbeBootMode(0));
    EXPECT_EQ(rig.clock.NowMs(), 0u);
    EXPECT_EQ(rig.view.pumps, 1);
}

}  // namespace
}  // namespace qvt
