// Runs where a literal reading would report an update that did not happen, or start a second
// run inside the first: each ends in failure, or in completion only for the unit that came back.
// And a machine left alone does not sleep in the middle of one.
#include <gtest/gtest.h>

#include "awake_checks.h"
#include "rig.h"
#include "texts.h"

namespace qvt {
namespace {

using testing::Rig;

bool ReportedComplete(const Rig& rig) {
    return rig.controls().status.visible &&
           (rig.controls().status.caption == text::kCaptionCompleted ||
            rig.controls().status.caption == text::kCaptionCompletedOnRestart);
}

// The reset was sent and accepted, and the run failed in its return wait: the log lines and
// messages that say so are held by the golden transcripts of tests/golden/scenarios/hardened_run.*.
void ExpectFailedAfterTheReturnWait(const Rig& rig) {
    EXPECT_FALSE(ReportedComplete(rig));
    ASSERT_TRUE(rig.updater.sequence.last_run());
    EXPECT_EQ(rig.updater.sequence.last_run()->phase, Phase::kReturnWait);
    EXPECT_EQ(rig.updater.sequence.FailedRunCount(), 1);
    EXPECT_EQ(rig.world.open_handles(), 0);
}

// A current unit plugged in during the run, beside the one being updated.
constexpr const char* kCurrentUnitAttached =
    R"({"kind": "attach", "after_reports": 500, "unit": {"mode": "application", "version": "3.10"}})";

TEST(StandIn, ACurrentUnitPluggedInNeverStandsInForOneThatNeverCameBack) {
    Rig rig(std::string(R"({"faults": [)") + kCurrentUnitAttached +
            R"(, {"kind": "unplug", "after_reports": 2448}]})");
    rig.Create().Start();
    ASSERT_EQ(rig.world.unit_count(), 2u);
    EXPECT_TRUE(rig.world.unit(0).unplugged);  // gone right after its reset
    ExpectFailedAfterTheReturnWait(rig);
}

TEST(StandIn, WithTheUpdatedUnitBackTheRunCompletes) {
    Rig rig(std::string(R"({"faults": [)") + kCurrentUnitAttached + "]}");
    std::optional<std::uint64_t> back_at;
    rig.view.on_pump = [&] {
        if (!back_at && rig.world.unit(0).state == sim::UnitState::kApplication &&
            rig.world.unit(0).running_version == 0x0310) {
            back_at = rig.clock.NowMs();
        }
    };
    rig.Create().Start();
    EXPECT_TRUE(rig.updater.sequence.completed());
    EXPECT_EQ(rig.controls().status.caption, text::kCaptionCompleted);
    EXPECT_TRUE(rig.UnitHoldsImage(0));
    ASSERT_TRUE(back_at.has_value());
    EXPECT_EQ(rig.updater.app.census().app_device_count, 2);
}

TEST(StandIn, AnUpdatedUnitSlowerThanTheFirstCycleIsStillTheOneAwaited) {
    // It comes back in its boot loader, or with its old version, after the first cycle.
    for (const char* fault :
         {R"({"kind": "stays_in_boot"})", R"({"kind": "return_version", "version": "3.00"})"}) {
        Rig rig(std::string(R"({"reset_delay_ms": 4500, "faults": [)") + kCurrentUnitAttached +
                ", " + fault + "]}");
        rig.Create().Start();
        ExpectFailedAfterTheReturnWait(rig);
    }
}

// Found by the campaign: the restart check, too, must wait for the unit it reset.
TEST(StandIn, OnARestartACurrentUnitPluggedInNeverStandsInEither) {
    // The updated unit restarts slower than the return wait; a current unit is plugged in
    // meanwhile. The next click must not take it for the updated one: it is refused as the
    // current unit it is, the force box offered, and waits for nothing.
    Rig rig(std::string(R"({"reset_delay_ms": 400000, "faults": [)") + kCurrentUnitAttached + "]}");
    rig.Create().Start();
    ASSERT_EQ(rig.updater.sequence.FailedRunCount(), 1);
    const auto clicked_at = rig.clock.NowMs();
    rig.Start();  // the updated unit is still away
    EXPECT_FALSE(ReportedComplete(rig));
    EXPECT_EQ(rig.updater.sequence.last_run()->refusal, Refusal::kNothingToUpdate);
    EXPECT_EQ(rig.controls().status.caption, text::kCaptionCurrent);
    EXPECT_LT(rig.clock.NowMs() - clicked_at, 5000u);
    EXPECT_EQ(rig.world.unit(0).state, sim::UnitState::kGone);
}

TEST(StandIn, AUnitPluggedInAtTheVeryResetIsCountedAsAlreadyThere) {
    // Plugged in with the reset report itself, while the updated unit is lost.
    Rig rig(R"({"faults": [
        {"kind": "attach", "after_reports": 2448, "unit": {"mode": "application", "version": "3.10"}},
        {"kind": "unplug", "after_reports": 2448}]})");
    rig.Create().Start();
    ExpectFailedAfterTheReturnWait(rig);
}

TEST(StandIn, OfTwoUnitsUpdatedInTurnEitherBackCompletes) {
    // The first unit restarts slower than the wait; the second, plugged in meanwhile, is
    // updated by the next run. The first one is back first: a unit this program flashed, it
    // completes the second run; the second one follows, as flashed as the first.
    Rig rig(R"({"reset_delay_ms": 250000, "faults": [
        {"kind": "attach", "after_reports": 2400, "unit": {"mode": "application", "version": "3.00"}}]})");
    rig.Create();
    int clicks = 0;
    while (clicks < 5 && rig.controls().start_enabled && !ReportedComplete(rig)) {
        rig.Start();
        ++clicks;
    }
    EXPECT_EQ(rig.world.unit(1).resets, 1);  // the second unit was updated by the second run
    ASSERT_TRUE(ReportedComplete(rig));
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(rig.world.unit(0).state, sim::UnitState::kApplication);
    rig.clock.Sleep(250000);
    for (std::size_t unit = 0; unit < 2; ++unit) EXPECT_TRUE(rig.UnitHoldsImage(unit)) << unit;
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
        Rig first(R"({"faults": [)" + stays + "]}");
        first.Create().Start();
        reads_of_run_one = first.world.unit(0).read_requests;
    }
    Rig rig(R"({"faults": [)" + stays +
            R"(, {"kind": "failing_writes", "command": "read", "from": )" +
            std::to_string(reads_of_run_one + 1) + R"(},
        {"kind": "attach", "after_reports": 2449, "unit": {"mode": "application", "version": "3.10"}}]})");
    rig.Create().Start();
    ASSERT_EQ(rig.updater.sequence.FailedRunCount(), 1);
    ASSERT_EQ(rig.world.unit(0).state, sim::UnitState::kBoot);
    rig.Start();
    ASSERT_EQ(rig.updater.sequence.FailedRunCount(), 2);
    ASSERT_EQ(rig.world.unit_count(), 2u);
    ASSERT_FALSE(rig.world.unit(0).image_complete);  // erased by the second run
    rig.world.Unplug(0);
    rig.Start();
    EXPECT_FALSE(ReportedComplete(rig));
    ASSERT_TRUE(rig.updater.sequence.last_run());
    EXPECT_EQ(rig.updater.sequence.last_run()->refusal, Refusal::kNothingToUpdate);
    EXPECT_EQ(rig.controls().status.caption, text::kCaptionCurrent);
    EXPECT_EQ(rig.updater.sequence.FailedRunCount(), 2);
    EXPECT_EQ(rig.world.unit(1).resets, 0);
}

// A verified unit back in its application whose version query fails runs the image: its
// return completes the run, which says it could not read the version (the golden transcripts
// of custody.case-06-back-version-unread and hardened_run.AVerifiedUnitBackWithoutItsVersion...).
TEST(UnreadVersion, AVerifiedUnitBackWithoutItsVersionCompletes) {
    for (const char* kind : {"version_query_fails", "short_version_reply"}) {
        Rig rig(std::string(R"({"faults": [{"kind": ")") + kind + R"(", "after_reset": true}]})");
        rig.Create();
        ASSERT_TRUE(rig.controls().start_enabled) << "the version reads before the reset";
        rig.Start();
        EXPECT_TRUE(rig.updater.sequence.completed()) << kind;
        EXPECT_EQ(rig.updater.sequence.last_run()->reason, Verdict::Reason::kBackUnread);
        EXPECT_TRUE(rig.UnitHoldsImage(0)) << kind;
        EXPECT_EQ(rig.world.unit(0).state, sim::UnitState::kApplication);
    }
}

TEST(ImageReload, AnImageThatNoLongerLoadsIsNeverProgrammed) {
    Rig rig;
    rig.Create();
    rig.resource.Replace(std::nullopt);  // gone after the start-up check
    rig.Start();
    EXPECT_EQ(rig.CountLogged("[ProgramVerify]image error!"), 3);
    EXPECT_EQ(rig.CountLogged("ProgramVerify error"), 3);
    EXPECT_EQ(rig.Received(BOOT_CMD_PROGRAM), 0);
    EXPECT_EQ(rig.Received(BOOT_CMD_RESET), 0);
    EXPECT_EQ(rig.world.unit(0).state, sim::UnitState::kBoot);
    EXPECT_FALSE(ReportedComplete(rig));
    EXPECT_EQ(
        rig.updater.sequence.last_run(),
        (RunOutcome{RunOutcome::Kind::kFailed, Phase::kProgram, FailureCause::kAttemptsUsedUp}));
}

TEST(BusyGuard, AStartClickDuringARunStartsNothing) {
    Rig rig;
    rig.Create();
    int clicks = 0;
    rig.view.on_pump = [&] {
        if (clicks < 3 && rig.controls().message == text::kProgramStart) {
            ++clicks;
            rig.Start();  // as a click posted by another program would arrive
        }
    };
    rig.Start();
    EXPECT_EQ(clicks, 3);
    EXPECT_TRUE(rig.updater.sequence.completed());
    EXPECT_EQ(rig.controls().message, text::kMessageCompleted);
    EXPECT_EQ(rig.updater.sequence.FailedRunCount(), 0);
    EXPECT_EQ(rig.CountLogged("[ProgramVerify]OpenHid count:0"), 1);
    EXPECT_EQ(rig.TotalReceived(), 2448);
    EXPECT_EQ(rig.view.busy_changes, (std::vector<bool>{true, false}));
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
    Rig rig(R"({"faults": [{"kind": "failing_writes", "command": "erase", "count": 9}]})", &hold);
    rig.Create();
    EXPECT_TRUE(rig.updater.form.btnStartClick().failed());
    EXPECT_TRUE(rig.updater.form.btnStartClick().completed());
    EXPECT_EQ(rig.updater.form.btnStartClick().refusal, Refusal::kStartDisabled);
    EXPECT_EQ(hold.holds, 2);
    EXPECT_EQ(rig.CountLogged(logtext::kNoAwakeHold), 1);
}

}  // namespace
}  // namespace qvt
