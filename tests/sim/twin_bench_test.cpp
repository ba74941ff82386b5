// What the twins' host adds around the model: what an operating system would list, and the
// handles a stack opens on it, in real time with nothing of its own waiting.
#include "twin_bench.h"

#include <gtest/gtest.h>

#include "sim_rig.h"

namespace qvt::twin {
namespace {

using sim::rig::kCommand;
using sim::rig::kRead;
using sim::rig::kReset;
using sim::rig::Rig;

struct TwinRig {
    explicit TwinRig(std::string_view json) : bench(clock, testing::ScenarioFrom(json)) {}
    sim::VirtualClock clock;
    TwinBench bench;
};

TEST(TwinBench, ListsTheUnitAsItChangesModeWithoutSearching) {
    TwinRig rig(R"({"units": [{"mode": "application", "version": "3.00"}],
                    "boot_switch_delay_ms": 300})");
    EXPECT_EQ(rig.bench.Look().app_objects, std::vector<int>{0});
    EXPECT_TRUE(rig.bench.Look().hids.empty());

    const TwinBench::Handle object = rig.bench.OpenObject(0);
    ASSERT_NE(object, 0u);
    EXPECT_EQ(rig.bench.OpenObject(0), 0u) << "the maker's driver lets one program hold it";
    const std::uint8_t word[] = {0x55, 0x02};
    std::size_t returned = 0;
    EXPECT_TRUE(rig.bench.IoControl(object, kCommand, word, {}, returned));
    rig.bench.Close(object);
    rig.clock.Sleep(300);

    const Inventory now = rig.bench.Look();
    EXPECT_TRUE(now.app_objects.empty());
    ASSERT_EQ(now.hids.size(), 1u);
    EXPECT_EQ(now.hids[0].attributes.vendor_id, 0x1232);
    EXPECT_EQ(now.hids[0].attributes.product_id, 0x0103);
    // The stack lists devices all the time; only the program's own enumeration is a search.
    EXPECT_EQ(rig.bench.world().searches(), 0);
    EXPECT_EQ(rig.bench.world().open_handles(), 0);
    EXPECT_EQ(rig.bench.Account(),
              (std::vector<std::string>{"flash: differs at 0x1104", "unit: boot loader"}));
}

TEST(TwinBench, AReplyTakenForACancelledReadIsTheNextOneTaken) {
    TwinRig rig(R"({"units": [{"mode": "boot"}]})");
    const TwinBench::Handle handle = rig.bench.OpenHid(rig.bench.Look().hids.at(0).path);
    ASSERT_NE(handle, 0u);
    for (std::uint32_t address : {0x1100u, 0x1200u}) {
        EXPECT_EQ(rig.bench.Write(handle, Rig::Command(kRead, address, 8)), Transfer::kCompleted);
    }
    rig.clock.Sleep(10);
    sim::WireReport first{}, again{}, second{};
    ASSERT_EQ(rig.bench.TakeInput(handle, first), TwinBench::Input::kReport);
    rig.bench.GiveBack(handle, first);
    ASSERT_EQ(rig.bench.TakeInput(handle, again), TwinBench::Input::kReport);
    ASSERT_EQ(rig.bench.TakeInput(handle, second), TwinBench::Input::kReport);
    EXPECT_EQ(again, first);
    EXPECT_EQ(second[3], 0x12) << "the second reply echoes its own address";
    EXPECT_EQ(rig.bench.TakeInput(handle, second), TwinBench::Input::kNothing);
}

TEST(TwinBench, RefusedWritesWaitForTheStackAndOldHandlesDieWithTheirUnit) {
    TwinRig rig(R"({"units": [{"mode": "boot"}], "reset_delay_ms": 100,
                    "faults": [{"kind": "refuse_writes", "command": "erase", "count": 1}]})");
    const TwinBench::Handle handle = rig.bench.OpenHid(rig.bench.Look().hids.at(0).path);
    const std::uint64_t before = rig.clock.NowMs();
    EXPECT_EQ(rig.bench.Write(handle, Rig::Command(sim::rig::kErase)), Transfer::kTimedOut);
    EXPECT_EQ(rig.clock.NowMs(), before) << "the caller's bound, not the host's, ends it";

    EXPECT_EQ(rig.bench.Write(handle, Rig::Command(kReset)), Transfer::kCompleted);
    rig.clock.Sleep(100);
    rig.bench.Look();
    sim::WireReport report{};
    EXPECT_EQ(rig.bench.TakeInput(handle, report), TwinBench::Input::kGone);
    EXPECT_EQ(rig.bench.Write(handle, Rig::Command(kRead)), Transfer::kFailed);
    HidAttributes attributes;
    EXPECT_FALSE(rig.bench.Attributes(handle, attributes));
    rig.bench.Close(handle);
    EXPECT_EQ(rig.bench.world().open_handles(), 0);
}

}  // namespace
}  // namespace qvt::twin
