// Whole runs that end somewhere a later click must judge: completion only for the unit that
// came back current, and a restart that checks before it updates again.
#include <gtest/gtest.h>

#include <optional>

#include "run_expectations.h"

namespace qvt {
namespace {

using testing::Bench;
using testing::ExpectCompleted;
using testing::ExpectFailedRun;
using testing::kOneBootLoader;
using testing::kOneCurrentUnit;
using testing::kOneOutdatedUnit;
using testing::Shown;

TEST(UpdateRun, ARestartFindsTheUnitCurrentAndReportsCompletionAtOnce) {
    // The unit takes longer to come back than the tool waits.
    Bench bench(R"({"reset_delay_ms": 400000})");
    bench.Create().Start();
    ExpectFailedRun(bench, 1, Phase::kReturnWait);
    EXPECT_TRUE(bench.UnitHoldsImage());
    const int position = bench.controls().progress_position;
    const int maximum = bench.controls().progress_maximum;
    const long reports = bench.TotalReceived();

    bench.clock.Sleep(400000);  // the user waits, then clicks Start again
    bench.Start();
    ExpectCompleted(bench, text::kCaptionCompletedOnRestart);
    EXPECT_EQ(bench.TotalReceived(), reports);
    EXPECT_EQ(bench.world.unit(0).boot_requests, 1);
    EXPECT_EQ(bench.controls().progress_position, position);
    EXPECT_EQ(bench.controls().progress_maximum, maximum);
    EXPECT_EQ(bench.updater.sequence.FailedRunCount(), 1);
}

// The return wait completes only with as many units back as the reset counted, not more: the
// updated unit is lost after its reset, and two current units plugged in during the wait
// cannot stand in for it.
TEST(UpdateRun, UnitsPluggedInDuringTheReturnWaitDoNotStandInForTheUpdatedOne) {
    Bench bench(R"({"events": [
        {"action": "unplug", "unit": 0, "after_reports": 2448, "delay_ms": 1000},
        {"action": "attach", "unit": {"mode": "application", "version": "3.10"},
         "after_reports": 2448, "delay_ms": 2000},
        {"action": "attach", "unit": {"mode": "application", "version": "3.10"},
         "after_reports": 2448, "delay_ms": 2000}]})");
    bench.Create().Start();
    ASSERT_EQ(bench.world.unit_count(), 3u);
    EXPECT_EQ(bench.world.unit(0).state, sim::UnitState::kGone);
    ExpectFailedRun(bench, 1, Phase::kReturnWait);
    EXPECT_TRUE(bench.Logged("[ResetDevice]OpenHid count:0"));
}

// More boot loaders than the run expects make the search offer none to work with; they are
// still boot loaders left. Here the updated unit stays in its boot loader, a blank unit and a
// current one are plugged in during the return wait: the current one must not complete it.
TEST(UpdateRun, MoreBootLoadersThanExpectedAreNotTakenForNoneLeft) {
    Bench bench(R"({"units": [{"mode": "boot"}], "faults": [{"kind": "stays_in_boot"}],
                   "events": [
        {"action": "attach", "unit": {"mode": "boot"}, "after_reports": 2448, "delay_ms": 6000},
        {"action": "attach", "unit": {"mode": "application", "version": "3.10"},
         "after_reports": 2448, "delay_ms": 6000}]})");
    bench.Create().Start();
    ASSERT_EQ(bench.world.unit_count(), 3u);
    EXPECT_EQ(bench.world.unit(0).state, sim::UnitState::kBoot);
    ExpectFailedRun(bench, 1, Phase::kReturnWait);
    EXPECT_GE(bench.updater.link.boot_loaders_seen(), 2);
}

// The restart check completes only with no boot loader left: a blank unit plugged in after
// the failed run sits in its boot loader beside the one that came back current.
TEST(UpdateRun, ARestartDoesNotCompleteWhileABootLoaderIsLeft) {
    // The second unit is plugged in with the reset, the run's last report.
    Bench bench(R"({"reset_delay_ms": 400000, "faults": [{"kind": "attach", "after_reports": 2448,
                   "unit": {"mode": "boot"}}]})");
    bench.Create().Start();
    ExpectFailedRun(bench, 1, Phase::kReturnWait);
    ASSERT_EQ(bench.world.unit_count(), 2u);
    bench.clock.Sleep(400000);  // the first unit is back and current; the second still blank
    ASSERT_EQ(bench.world.unit(0).running_version, 0x0310);
    bench.Start();
    EXPECT_NE(bench.controls().status.caption, text::kCaptionCompletedOnRestart);
    EXPECT_GT(bench.TotalReceived(1), 0);  // the run went on to the boot loader left
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
        {"bumped after its verification, back before the reset reaches it",
         R"({"events": [{"action": "unplug", "unit": 0, "after_reports": 2447, "delay_ms": 1000},
                        {"action": "plug", "unit": 0, "after_reports": 2447, "delay_ms": 6000}]})",
         1, RunOutcome::Kind::kCompleted, Phase::kReturnWait, text::kCaptionCompleted},
        {"restarted into its new application during the verification",
         R"({"events": [{"action": "power_cycle", "unit": 0, "after_reports": 2400}]})", 2,
         RunOutcome::Kind::kCompleted, Phase::kRestartCheck, text::kCaptionCompletedOnRestart},
        {"swapped for a current unit between runs",
         R"({"faults": [{"kind": "ignore_boot_request"}],
             "events": [{"action": "unplug", "unit": 0, "at_ms": 50000},
                        {"action": "attach", "unit": {"mode": "application", "version": "3.10"},
                         "at_ms": 150000}]})",
         2, RunOutcome::Kind::kRefused, Phase::kRestartCheck, text::kCaptionCurrent},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bench bench(c.scenario);
        bench.Create();
        std::uint64_t began = 0;
        for (int click = 0; click < c.clicks; ++click) {
            began = bench.clock.NowMs();
            bench.Start();
        }
        const auto& last = bench.updater.sequence.last_run();
        ASSERT_TRUE(last.has_value());
        EXPECT_EQ(last->kind, c.kind);
        EXPECT_EQ(last->phase, c.reached);
        EXPECT_EQ(bench.controls().status.caption, c.caption);
        EXPECT_EQ(bench.world.open_handles(), 0);
        if (c.kind == RunOutcome::Kind::kCompleted) {
            ExpectCompleted(bench, c.caption);
            EXPECT_TRUE(bench.UnitHoldsImage(0));
            continue;
        }
        // Nothing to update: the start-up check's row for a current unit, at once.
        EXPECT_EQ(last->refusal, Refusal::kNothingToUpdate);
        EXPECT_EQ(bench.updater.Outcome(), "update refused (nothing to update)");
        EXPECT_LT(bench.clock.NowMs() - began, 5000u);
        EXPECT_EQ(bench.controls().message, text::kMessageCurrent);
        EXPECT_FALSE(bench.controls().start_enabled);
        EXPECT_TRUE(bench.controls().force_enabled);
        EXPECT_FALSE(bench.updater.sequence.busy());
        EXPECT_EQ(bench.updater.sequence.FailedRunCount(), 1);
        // The force box is the way to flash it anyway.
        bench.updater.form.ckUpdateClick(true);
        bench.Start();
        ExpectCompleted(bench, text::kCaptionCompleted);
        EXPECT_EQ(bench.world.unit(1).resets, 1);
    }
}

// The record's outcome line tells how the last run ended, not whether any run ever completed.
TEST(UpdateRun, TheRecordTellsTheLastRunsOutcome) {
    Bench bench(R"({"reset_delay_ms": 400000})");
    bench.Create();
    EXPECT_EQ(bench.updater.Outcome(), "no update run");
    bench.Start();
    EXPECT_EQ(bench.updater.Outcome(), "update failed (1 runs failed)");
    bench.clock.Sleep(400000);
    bench.Start();
    EXPECT_EQ(bench.updater.Outcome(), "update completed");
    // A completion leaves Start disabled: a further click starts nothing and changes nothing.
    bench.Start();
    EXPECT_EQ(bench.updater.Outcome(), "update completed");
    // Were Start enabled again after it, a run that fails is what the record tells.
    bench.world.Unplug(0);
    bench.updater.model.EnableStart(true);
    bench.Start();
    EXPECT_EQ(bench.updater.Outcome(), "update failed (2 runs failed)");
}

TEST(UpdateRun, ARestartWithTheUnitStillInBootModeUpdatesWithoutARequest) {
    Bench bench(R"({"faults": [{"kind": "silent_reads", "from": 1}]})");
    bench.Create().Start();
    ExpectFailedRun(bench, 1, Phase::kBlankCheck);
    EXPECT_EQ(bench.CountLogged("BlankCheck error"), 3);
    EXPECT_EQ(bench.CountLogged("[BlankCheck]error! adr=4352"), 3);
    ASSERT_EQ(bench.world.unit(0).state, sim::UnitState::kBoot);

    const auto lines_before = bench.log().size();
    const auto messages_before = bench.view.messages.size();
    bench.Start();  // still silent: fails again, but only after finding the boot loader at once
    EXPECT_FALSE(Shown(bench, text::kBootSwitchStart, messages_before));
    EXPECT_EQ(bench.log()[lines_before], "ChangeBootMode true: 0");
    ExpectFailedRun(bench, 2, Phase::kBlankCheck);
}

TEST(UpdateRun, ReturningWithTheOldVersionFailsAfterTwoHundredCycles) {
    Bench bench(R"({"faults": [{"kind": "return_version", "version": "3.00"}]})");
    bench.Create();
    std::optional<long> searches_at_wait;
    std::uint64_t wait_began_ms = 0;
    bench.view.on_pump = [&] {
        if (!searches_at_wait && bench.controls().message == text::kVersionCheckStart) {
            searches_at_wait = bench.world.searches();
            wait_began_ms = bench.clock.NowMs();
        }
    };
    bench.Start();
    ExpectFailedRun(bench, 1, Phase::kReturnWait);
    EXPECT_EQ(bench.world.unit(0).state, sim::UnitState::kApplication);
    EXPECT_EQ(bench.world.unit(0).running_version, 0x0300);
    // One boot-loader search and one second per cycle; the unit never counted as current.
    ASSERT_TRUE(searches_at_wait.has_value());
    EXPECT_EQ(bench.world.searches() - *searches_at_wait, 200);
    EXPECT_EQ(bench.clock.NowMs() - wait_began_ms, 200u * 1000u);
}

TEST(UpdateRun, ASecondUnitPluggedInMeanwhileFailsTheCompletionTest) {
    Bench bench(R"({"faults": [{"kind": "attach", "after_reports": 100,
                                "unit": {"mode": "application", "version": "3.00"}}]})");
    bench.Create().Start();
    ExpectFailedRun(bench, 1, Phase::kReturnWait);
    EXPECT_TRUE(bench.UnitHoldsImage(0));
    EXPECT_EQ(bench.world.unit_count(), 2u);
}

}  // namespace
}  // namespace qvt
