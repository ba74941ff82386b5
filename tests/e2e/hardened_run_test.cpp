// Runs where a literal reading would report an update that did not happen, or start a second
// run inside the first: each ends in failure, or in completion only for the unit that came back.
// And a machine left alone does not sleep in the middle of one.
#include <gtest/gtest.h>

#include "awake_checks.h"
#include "bench.h"
#include "texts.h"

namespace qvt {
namespace {

using testing::Bench;

bool ReportedComplete(const Bench& bench) {
    return bench.controls().status.visible &&
           (bench.controls().status.caption == text::kCaptionCompleted ||
            bench.controls().status.caption == text::kCaptionCompletedOnRestart);
}

void ExpectFailedAfterTheReturnWait(const Bench& bench) {
    EXPECT_FALSE(ReportedComplete(bench));
    EXPECT_EQ(bench.controls().message, text::kMessageRunFailed);
    EXPECT_TRUE(bench.controls().start_enabled);
    EXPECT_EQ(bench.updater.sequence.FailedRunCount(), 1);
    EXPECT_TRUE(bench.Logged("[ResetDevice]OpenHid count:0"));
    EXPECT_FALSE(bench.Logged("ResetDevice error"));
    EXPECT_EQ(bench.world.open_handles(), 0);
}

// A current unit plugged in during the run, beside the one being updated.
constexpr const char* kCurrentUnitAttached =
    R"({"kind": "attach", "after_reports": 500, "unit": {"mode": "application", "version": "3.10"}})";

TEST(StandIn, ACurrentUnitPluggedInNeverStandsInForOneThatNeverCameBack) {
    Bench bench(std::string(R"({"faults": [)") + kCurrentUnitAttached +
                R"(, {"kind": "unplug", "after_reports": 2448}]})");
    bench.Create().Start();
    ASSERT_EQ(bench.world.unit_count(), 2u);
    EXPECT_TRUE(bench.world.unit(0).unplugged);  // gone right after its reset
    ExpectFailedAfterTheReturnWait(bench);
}

TEST(StandIn, WithTheUpdatedUnitBackTheRunCompletes) {
    Bench bench(std::string(R"({"faults": [)") + kCurrentUnitAttached + "]}");
    std::optional<std::uint64_t> back_at;
    bench.view.on_pump = [&] {
        if (!back_at && bench.world.unit(0).state == sim::UnitState::kApplication &&
            bench.world.unit(0).running_version == 0x0310) {
            back_at = bench.clock.NowMs();
        }
    };
    bench.Create().Start();
    EXPECT_TRUE(bench.updater.sequence.completed());
    EXPECT_EQ(bench.controls().status.caption, text::kCaptionCompleted);
    EXPECT_TRUE(bench.UnitHoldsImage(0));
    ASSERT_TRUE(back_at.has_value());
    EXPECT_EQ(bench.updater.app.census().app_device_count, 2);
}

TEST(StandIn, AnUpdatedUnitSlowerThanTheFirstCycleIsStillTheOneAwaited) {
    // It comes back in its boot loader, or with its old version, after the first cycle.
    for (const char* fault :
         {R"({"kind": "stays_in_boot"})", R"({"kind": "return_version", "version": "3.00"})"}) {
        Bench bench(std::string(R"({"reset_delay_ms": 4500, "faults": [)") + kCurrentUnitAttached +
                    ", " + fault + "]}");
        bench.Create().Start();
        ExpectFailedAfterTheReturnWait(bench);
    }
}

// Found by the campaign: the restart check, too, must wait for the unit it reset.
TEST(StandIn, OnARestartACurrentUnitPluggedInNeverStandsInEither) {
    // The updated unit restarts slower than the return wait; a current unit is plugged in
    // meanwhile. The next click must not take it for the updated one.
    Bench bench(std::string(R"({"reset_delay_ms": 400000, "faults": [)") + kCurrentUnitAttached +
                "]}");
    bench.Create().Start();
    ASSERT_EQ(bench.updater.sequence.FailedRunCount(), 1);
    bench.Start();  // the updated unit is still away
    EXPECT_FALSE(ReportedComplete(bench));
    bench.clock.Sleep(400000);
    bench.Start();  // now it is back: both units are there
    EXPECT_EQ(bench.controls().status.caption, text::kCaptionCompletedOnRestart);
    EXPECT_EQ(bench.world.unit(0).state, sim::UnitState::kApplication);
    EXPECT_TRUE(bench.UnitHoldsImage(0));
}

TEST(StandIn, AUnitPluggedInAtTheVeryResetIsCountedAsAlreadyThere) {
    // Plugged in with the reset report itself, while the updated unit is lost.
    Bench bench(R"({"faults": [
        {"kind": "attach", "after_reports": 2448, "unit": {"mode": "application", "version": "3.10"}},
        {"kind": "unplug", "after_reports": 2448}]})");
    bench.Create().Start();
    ExpectFailedAfterTheReturnWait(bench);
}

TEST(StandIn, TwoUnitsUpdatedInTurnCompleteOnlyWhenBothAreBack) {
    // The first unit restarts slower than the wait; the second, plugged in meanwhile, is
    // updated by the next run. The first one's return must not complete the second one's run.
    Bench bench(R"({"reset_delay_ms": 250000, "faults": [
        {"kind": "attach", "after_reports": 2400, "unit": {"mode": "application", "version": "3.00"}}]})");
    bench.Create();
    int clicks = 0;
    while (clicks < 5 && bench.controls().start_enabled && !ReportedComplete(bench)) {
        bench.Start();
        ++clicks;
    }
    EXPECT_EQ(bench.world.unit(1).resets, 1);  // the second unit was updated by the second run
    ASSERT_TRUE(ReportedComplete(bench));
    EXPECT_EQ(clicks, 4);  // not at the second run's return wait, when only the first was back
    for (std::size_t unit = 0; unit < 2; ++unit) {
        EXPECT_EQ(bench.world.unit(unit).state, sim::UnitState::kApplication) << unit;
        EXPECT_TRUE(bench.UnitHoldsImage(unit)) << unit;
    }
}

TEST(StandIn, ARunThatErasedAfterAResetAwaitsNothingFromThatReset) {
    // Run 1 programs the unit, which stays in its boot loader. Run 2 erases it and fails the
    // blank check; a current unit is plugged in during it, and the erased one is then unplugged.
    // The first reset is over: the third click must not take the new unit for one that came
    // back. Being current, it is not asked to switch either: the click ends at once, as the
    // start-up check would for it.
    const std::string stays = R"({"kind": "stays_in_boot"})";
    long reads_of_run_one = 0;
    {
        Bench first(R"({"faults": [)" + stays + "]}");
        first.Create().Start();
        reads_of_run_one = first.world.unit(0).read_requests;
    }
    Bench bench(R"({"faults": [)" + stays +
                R"(, {"kind": "failing_writes", "command": "read", "from": )" +
                std::to_string(reads_of_run_one + 1) + R"(},
        {"kind": "attach", "after_reports": 2449, "unit": {"mode": "application", "version": "3.10"}}]})");
    bench.Create().Start();
    ASSERT_EQ(bench.updater.sequence.FailedRunCount(), 1);
    ASSERT_EQ(bench.world.unit(0).state, sim::UnitState::kBoot);
    bench.Start();
    ASSERT_EQ(bench.updater.sequence.FailedRunCount(), 2);
    ASSERT_EQ(bench.world.unit_count(), 2u);
    ASSERT_FALSE(bench.world.unit(0).image_complete);  // erased by the second run
    bench.world.Unplug(0);
    bench.Start();
    EXPECT_FALSE(ReportedComplete(bench));
    ASSERT_TRUE(bench.updater.sequence.last_run());
    EXPECT_EQ(bench.updater.sequence.last_run()->refusal, Refusal::kNothingToUpdate);
    EXPECT_EQ(bench.controls().status.caption, text::kCaptionCurrent);
    EXPECT_EQ(bench.updater.sequence.FailedRunCount(), 2);
    EXPECT_EQ(bench.world.unit(1).resets, 0);
}

TEST(UnreadVersion, AVersionThatFailsOnlyAfterTheResetNeverCompletes) {
    for (const char* kind : {"version_query_fails", "short_version_reply"}) {
        Bench bench(std::string(R"({"faults": [{"kind": ")") + kind +
                    R"(", "after_reset": true}]})");
        bench.Create();
        ASSERT_TRUE(bench.controls().start_enabled) << "the version reads before the reset";
        bench.Start();
        EXPECT_TRUE(bench.UnitHoldsImage(0)) << kind;
        EXPECT_EQ(bench.world.unit(0).state, sim::UnitState::kApplication);
        ExpectFailedAfterTheReturnWait(bench);
        // Nor does the restart check.
        bench.Start();
        EXPECT_FALSE(ReportedComplete(bench)) << kind;
    }
}

TEST(ImageReload, AnImageThatNoLongerLoadsIsNeverProgrammed) {
    Bench bench;
    bench.Create();
    bench.resource.Replace(std::nullopt);  // gone after the start-up check
    bench.Start();
    EXPECT_EQ(bench.CountLogged("[ProgramVerify]image error!"), 3);
    EXPECT_EQ(bench.CountLogged("ProgramVerify error"), 3);
    EXPECT_EQ(bench.Received(BootCommand::kProgram), 0);
    EXPECT_EQ(bench.Received(BootCommand::kReset), 0);
    EXPECT_EQ(bench.world.unit(0).state, sim::UnitState::kBoot);
    EXPECT_FALSE(ReportedComplete(bench));
    EXPECT_EQ(
        bench.updater.sequence.last_run(),
        (RunOutcome{RunOutcome::Kind::kFailed, Phase::kProgram, FailureCause::kAttemptsUsedUp}));
}

TEST(BusyGuard, AStartClickDuringARunStartsNothing) {
    Bench bench;
    bench.Create();
    int clicks = 0;
    bench.view.on_pump = [&] {
        if (clicks < 3 && bench.controls().message == text::kProgramStart) {
            ++clicks;
            bench.Start();  // as a click posted by another program would arrive
        }
    };
    bench.Start();
    EXPECT_EQ(clicks, 3);
    EXPECT_TRUE(bench.updater.sequence.completed());
    EXPECT_EQ(bench.controls().message, text::kMessageCompleted);
    EXPECT_EQ(bench.updater.sequence.FailedRunCount(), 0);
    EXPECT_EQ(bench.CountLogged("[ProgramVerify]OpenHid count:0"), 1);
    EXPECT_EQ(bench.TotalReceived(), 2448);
    EXPECT_EQ(bench.view.busy_changes, (std::vector<bool>{true, false}));
}

// The machine is kept awake while a run flashes, and only then.
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
