// What the twins' host adds around the model: what an operating system would list, and the
// handles a stack opens on it, in real time with nothing of its own waiting.
#include "twin_host.h"

#include <gtest/gtest.h>

#include "sim_rig.h"

namespace qvt::twin {
namespace {

using sim::rig::kCommand;
using sim::rig::kRead;
using sim::rig::kReset;
using sim::rig::Rig;

struct HostRig {
    explicit HostRig(std::string_view json) : host(clock, testing::ScenarioFrom(json)) {}
    sim::VirtualClock clock;
    TwinHost host;
};

TEST(TwinHost, ListsTheUnitAsItChangesModeWithoutSearching) {
    HostRig rig(R"({"units": [{"mode": "application", "version": "3.00"}],
                    "boot_switch_delay_ms": 300})");
    EXPECT_EQ(rig.host.Look().app_objects, std::vector<int>{0});
    EXPECT_TRUE(rig.host.Look().hids.empty());

    const TwinHost::Handle object = rig.host.OpenObject(0);
    ASSERT_NE(object, 0u);
    EXPECT_EQ(rig.host.OpenObject(0), 0u) << "the maker's driver lets one program hold it";
    const std::uint8_t word[] = {0x55, 0x02};
    std::size_t returned = 0;
    EXPECT_TRUE(rig.host.IoControl(object, kCommand, word, {}, returned));
    rig.host.Close(object);
    rig.clock.Sleep(300);

    const Inventory now = rig.host.Look();
    EXPECT_TRUE(now.app_objects.empty());
    ASSERT_EQ(now.hids.size(), 1u);
    EXPECT_EQ(now.hids[0].attributes.vendor_id, 0x1232);
    EXPECT_EQ(now.hids[0].attributes.product_id, 0x0103);
    // The stack lists devices all the time; only the program's own enumeration is a search.
    EXPECT_EQ(rig.host.world().searches(), 0);
    EXPECT_EQ(rig.host.world().open_handles(), 0);
    EXPECT_EQ(rig.host.Account(),
              (std::vector<std::string>{"flash: differs at 0x1104", "unit: boot loader"}));
}

TEST(TwinHost, AReplyTakenForACancelledReadIsTheNextOneTaken) {
    HostRig rig(R"({"units": [{"mode": "boot"}]})");
    const TwinHost::Handle handle = rig.host.OpenHid(rig.host.Look().hids.at(0).path);
    ASSERT_NE(handle, 0u);
    for (std::uint32_t address : {0x1100u, 0x1200u}) {
        EXPECT_EQ(rig.host.Write(handle, Rig::Command(kRead, address, 8)), Transfer::kCompleted);
    }
    rig.clock.Sleep(10);
    sim::WireReport first{}, again{}, second{};
    ASSERT_EQ(rig.host.TakeInput(handle, first), TwinHost::Input::kReport);
    rig.host.GiveBack(handle, first);
    ASSERT_EQ(rig.host.TakeInput(handle, again), TwinHost::Input::kReport);
    ASSERT_EQ(rig.host.TakeInput(handle, second), TwinHost::Input::kReport);
    EXPECT_EQ(again, first);
    EXPECT_EQ(second[3], 0x12) << "the second reply echoes its own address";
    EXPECT_EQ(rig.host.TakeInput(handle, second), TwinHost::Input::kNothing);
}

TEST(TwinHost, RefusedWritesWaitForTheStackAndOldHandlesDieWithTheirUnit) {
    HostRig rig(R"({"units": [{"mode": "boot"}], "reset_delay_ms": 100,
                    "faults": [{"kind": "refuse_writes", "command": "erase", "count": 1}]})");
    const TwinHost::Handle handle = rig.host.OpenHid(rig.host.Look().hids.at(0).path);
    const std::uint64_t before = rig.clock.NowMs();
    EXPECT_EQ(rig.host.Write(handle, Rig::Command(sim::rig::kErase)), Transfer::kTimedOut);
    EXPECT_EQ(rig.clock.NowMs(), before) << "the caller's bound, not the host's, ends it";

    EXPECT_EQ(rig.host.Write(handle, Rig::Command(kReset)), Transfer::kCompleted);
    rig.clock.Sleep(100);
    rig.host.Look();
    sim::WireReport report{};
    EXPECT_EQ(rig.host.TakeInput(handle, report), TwinHost::Input::kGone);
    EXPECT_EQ(rig.host.Write(handle, Rig::Command(kRead)), Transfer::kFailed);
    HidAttributes attributes;
    EXPECT_FALSE(rig.host.Attributes(handle, attributes));
    rig.host.Close(handle);
    EXPECT_EQ(rig.host.world().open_handles(), 0);
}

}  // namespace
}  // namespace qvt::twin
