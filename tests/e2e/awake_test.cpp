// The machine is kept awake while a run flashes, and only then.
#include <gtest/gtest.h>

#include "awake_checks.h"

namespace qvt {
namespace {

using testing::Bench;

struct FakeHold final : AwakeHold {
    bool Hold(std::string_view why) override {
        ++holds;
        reason = why;
        holding = offered;
        return offered;
    }
    void Release() override { holding = false; }

    bool offered = true;
    bool holding = false;
    int holds = 0;
    std::string reason;
};

TEST(KeepAwake, HeldFromTheBootSwitchUntilTheRunEndsHoweverItEnds) {
    FakeHold hold;
    testing::ExpectHeldThroughEachRun(hold, [&] { return hold.holding; });
    EXPECT_EQ(hold.reason, text::kCloseWhileBusy);
}

TEST(KeepAwake, WithoutAHoldTheLogSaysSoOnceAndEveryRunGoesOnButARefusedClickAsksNothing) {
    FakeHold hold;
    hold.offered = false;
    Bench bench(R"({"faults": [{"kind": "failing_writes", "command": "erase", "count": 9}]})",
                &hold);
    bench.Create();
    EXPECT_TRUE(bench.updater.form.btnStartClick().failed());
    EXPECT_TRUE(bench.updater.form.btnStartClick().completed());
    EXPECT_EQ(bench.updater.form.btnStartClick().refusal, Refusal::kStartDisabled);
    EXPECT_EQ(hold.holds, 2);
    EXPECT_EQ(bench.CountLogged(logtext::kNoAwakeHold), 1);
}

}  // namespace
}  // namespace qvt
