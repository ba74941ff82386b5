// Whole runs that end somewhere a later click must judge: completion only for the unit that
// came back current, and a restart that checks before it updates again. What each run shows is
// held by the golden transcripts of tests/golden/scenarios/completion.*.json.
#include <gtest/gtest.h>

#include <optional>

#include "run_expectations.h"

namespace qvt {
namespace {

using testing::ExpectCompleted;
using testing::ExpectFailedRun;
using testing::kOneBootLoader;
using testing::kOneCurrentUnit;
using testing::kOneOutdatedUnit;
using testing::Rig;

TEST(UpdateRun, ARestartFindsTheUnitCurrentAndReportsCompletionAtOnce) {
    // The unit takes longer to come back than the tool waits.
    Rig rig(R"({"reset_delay_ms": 400000})");
    rig.Create().Start();
    ExpectFailedRun(rig, 1, Phase::kReturnWait);
    EXPECT_TRUE(rig.UnitHoldsImage());
    const int position = rig.controls().progress_position;
    const int maximum = rig.controls().progress_maximum;
    const long reports = rig.TotalReceived();

    rig.clock.Sleep(400000);  // the user waits, then clicks Start again
    rig.Start();
    ExpectCompleted(rig, text::kCaptionCompletedOnRestart);
    EXPECT_EQ(rig.TotalReceived(), reports);
    EXPECT_EQ(rig.world.unit(0).boot_requests, 1);
    EXPECT_EQ(rig.controls().progress_position, position);
    EXPECT_EQ(rig.controls().progress_maximum, maximum);
    EXPECT_EQ(rig.updater.sequence.FailedRunCount(), 1);
}

// The return wait completes only with as many units back as the reset counted, not more: the
// updated unit is lost after its reset, and two current units plugged in during the wait
// cannot stand in for it.
TEST(UpdateRun, UnitsPluggedInDuringTheReturnWaitDoNotStandInForTheUpdatedOne) {
    Rig rig(R"({"events": [
        {"action": "unplug", "unit": 0, "after_reports": 2448, "delay_ms": 1000},
        {"action": "attach", "unit": {"mode": "application", "version": "3.10"},
         "after_reports": 2448, "delay_ms": 2000},
        {"action": "attach", "unit": {"mode": "application", "version": "3.10"},
         "after_reports": 2448, "delay_ms": 2000}]})");
    rig.Create().Start();
    ASSERT_EQ(rig.world.unit_count(), 3u);
    EXPECT_EQ(rig.world.unit(0).state, sim::UnitState::kGone);
    ExpectFailedRun(rig, 1, Phase::kReturnWait);
}

// More boot loaders than the run expects make the search offer none to work with; they are
// still boot loaders left. Here the updated unit stays in its boot loader, a blank unit and a
// current one are plugged in during the return wait: the current one must not complete it.
TEST(UpdateRun, MoreBootLoadersThanExpectedAreNotTakenForNoneLeft) {
    Rig rig(R"({"units": [{"mode": "boot"}], "faults": [{"kind": "stays_in_boot"}],
                   "events": [
        {"action": "attach", "unit": {"mode": "boot"}, "after_reports": 2448, "delay_ms": 6000},
        {"action": "attach", "unit": {"mode": "application", "version": "3.10"},
         "after_reports": 2448, "delay_ms": 6000}]})");
    rig.Create().Start();
    ASSERT_EQ(rig.world.unit_count(), 3u);
    EXPECT_EQ(rig.world.unit(0).state, sim::UnitState::kBoot);
    ExpectFailedRun(rig, 1, Phase::kReturnWait);
    EXPECT_GE(rig.updater.link.boot_loaders_seen(), 2);
}

// The restart check completes only with no boot loader left: a blank unit plugged in after
// the failed run sits in its boot loader beside the one that came back current.
TEST(UpdateRun, ARestartDoesNotCompleteWhileABootLoaderIsLeft) {
    // The second unit is plugged in with the reset, the run's last report.
    Rig rig(R"({"reset_delay_ms": 400000, "faults": [{"kind": "attach", "after_reports": 2448,
                   "unit": {"mode": "boot"}}]})");
    rig.Create().Start();
    ExpectFailedRun(rig, 1, Phase::kReturnWait);
    ASSERT_EQ(rig.world.unit_count(), 2u);
    rig.clock.Sleep(400000);  // the first unit is back and current; the second still blank
    ASSERT_EQ(rig.world.unit(0).running_version, 0x0310);
    rig.Start();
    EXPECT_NE(rig.controls().status.caption, text::kCaptionCompletedOnRestart);
    EXPECT_GT(rig.TotalReceived(1), 0);  // the run went on to the boot loader left
}

// A unit this program flashed that comes back in its application without the reset reaching
// it is awaited and confirmed like one the reset brought back; a current unit this program never
// flashed is not waited for. `reached` names the phase the last click ended in.
TEST(UpdateRun, AUnitBackWithoutItsResetIsConfirmedAndNoClickWaitsForNothing) {
    struct Case {
        const char* what;
        const char* scenario;
        int clicks;
        RunOutcome::Kind kind;
        Phase reached;
        std::string_view caption;
    };
    const Case cases[] = {
        // The reset's search finds no boot loader: the unit is back in its application.
        {"bumped after its verification, back before the reset reaches it",
         R"({"events": [{"action": "unplug", "unit": 0, "after_reports": 2447, "delay_ms": 1000},
                        {"action": "plug", "unit": 0, "after_reports": 2447, "delay_ms": 6000}]})",
         1, RunOutcome::Kind::kCompleted, Phase::kReset, text::kCaptionCompleted},
        // The next attempt's erase finds none: the unit runs what it was sent.
        {"restarted into its new application during the verification",
         R"({"events": [{"action": "power_cycle", "unit": 0, "after_reports": 2400}]})", 1,
         RunOutcome::Kind::kCompleted, Phase::kErase, text::kCaptionCompleted},
        {"swapped for a current unit between runs",
         R"({"faults": [{"kind": "ignore_boot_request"}],
             "events": [{"action": "unplug", "unit": 0, "at_ms": 50000},
                        {"action": "attach", "unit": {"mode": "application", "version": "3.10"},
                         "at_ms": 150000}]})",
         2, RunOutcome::Kind::kRefused, Phase::kRestartCheck, text::kCaptionCurrent},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig(c.scenario);
        rig.Create();
        std::uint64_t began = 0;
        for (int click = 0; click < c.clicks; ++click) {
            began = rig.clock.NowMs();
            rig.Start();
        }
        const auto& last = rig.updater.sequence.last_run();
        ASSERT_TRUE(last.has_value());
        EXPECT_EQ(last->kind, c.kind);
        EXPECT_EQ(last->phase, c.reached);
        EXPECT_EQ(rig.world.open_handles(), 0);
        if (c.kind == RunOutcome::Kind::kCompleted) {
            ExpectCompleted(rig, c.caption);
            EXPECT_TRUE(rig.UnitHoldsImage(0));
            continue;
        }
        // Nothing to update: the start-up check's row for a current unit, at once.
        EXPECT_EQ(last->refusal, Refusal::kNothingToUpdate);
        EXPECT_EQ(rig.updater.Standing(), "update refused (nothing to update)");
        EXPECT_LT(rig.clock.NowMs() - began, 5000u);
        EXPECT_FALSE(rig.updater.sequence.busy());
        EXPECT_EQ(rig.updater.sequence.FailedRunCount(), 1);
        // The force box is the way to flash it anyway.
        rig.updater.form.ckUpdateClick(true);
        rig.Start();
        ExpectCompleted(rig, text::kCaptionCompleted);
        EXPECT_EQ(rig.world.unit(1).resets, 1);
    }
}

// The record's outcome line tells how the last run ended, not whether any run ever completed.
TEST(UpdateRun, TheRecordTellsTheLastRunsOutcome) {
    Rig rig(R"({"reset_delay_ms": 400000})");
    rig.Create();
    EXPECT_EQ(rig.updater.Standing(), "no update run");
    rig.Start();
    EXPECT_EQ(rig.updater.Standing(), "update failed (1 runs failed)");
    rig.clock.Sleep(400000);
    rig.Start();
    EXPECT_EQ(rig.updater.Standing(), "update completed (the unit came back current)");
    // A completion leaves Start disabled: a further click starts nothing and changes nothing.
    rig.Start();
    EXPECT_EQ(rig.updater.Standing(), "update completed (the unit came back current)");
    // Were Start enabled again after it, a run that fails is what the record tells.
    rig.world.Unplug(0);
    rig.updater.model.EnableStart(true);
    rig.Start();
    EXPECT_EQ(rig.updater.Standing(), "update failed (2 runs failed)");
}

TEST(UpdateRun, ARestartWithTheUnitStillInBootModeUpdatesWithoutARequest) {
    Rig rig(R"({"faults": [{"kind": "silent_reads", "from": 1}]})");
    rig.Create().Start();
    ExpectFailedRun(rig, 1, Phase::kBlankCheck);
    ASSERT_EQ(rig.world.unit(0).state, sim::UnitState::kBoot);
    rig.Start();  // still silent: fails again, but only after finding the boot loader at once
    ExpectFailedRun(rig, 2, Phase::kBlankCheck);
}

TEST(UpdateRun, ReturningWithTheOldVersionFailsAfterTwoHundredCycles) {
    Rig rig(R"({"faults": [{"kind": "return_version", "version": "3.00"}]})");
    rig.Create();
    std::optional<long> searches_at_wait;
    std::uint64_t wait_began_ms = 0;
    rig.view.on_pump = [&] {
        if (!searches_at_wait && rig.controls().message == text::kVersionCheckStart) {
            searches_at_wait = rig.world.searches();
            wait_began_ms = rig.clock.NowMs();
        }
    };
    rig.Start();
    ExpectFailedRun(rig, 1, Phase::kReturnWait);
    EXPECT_EQ(rig.world.unit(0).state, sim::UnitState::kApplication);
    EXPECT_EQ(rig.world.unit(0).running_version, 0x0300);
    // One boot-loader search and one second per cycle; the unit never counted as current.
    ASSERT_TRUE(searches_at_wait.has_value());
    EXPECT_EQ(rig.world.searches() - *searches_at_wait, 200);
    EXPECT_EQ(rig.clock.NowMs() - wait_began_ms, 200u * 1000u);
}

// A unit plugged in during the run, older than the image, was there at the reset: it is no
// reason to hold back the updated unit's completion.
TEST(UpdateRun, AnOutdatedUnitPluggedInMeanwhileDoesNotHoldBackTheCompletion) {
    Rig rig(R"({"faults": [{"kind": "attach", "after_reports": 100,
                                "unit": {"mode": "application", "version": "3.00"}}]})");
    rig.Create().Start();
    ExpectCompleted(rig, text::kCaptionCompleted);
    EXPECT_TRUE(rig.UnitHoldsImage(0));
    EXPECT_EQ(rig.world.unit(1).running_version, 0x0300);
}

}  // namespace
}  // namespace qvt
