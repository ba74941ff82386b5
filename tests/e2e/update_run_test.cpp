// Whole runs of the Start button against the simulated unit, in virtual time.
#include <gtest/gtest.h>

#include <optional>

#include "bench.h"
#include "texts.h"

namespace qvt {
namespace {

using testing::Bench;
using testing::kOneBootLoader;
using testing::kOneCurrentUnit;
using testing::kOneOutdatedUnit;

void ExpectCompleted(const Bench& bench, std::string_view caption) {
    const Controls& c = bench.controls();
    EXPECT_EQ(c.status.caption, caption);
    EXPECT_EQ(c.status.background, color::kGreen);
    EXPECT_EQ(c.status.text_color, color::kWhite);
    EXPECT_TRUE(c.status.visible);
    EXPECT_EQ(c.message, text::kMessageCompleted);
    EXPECT_FALSE(c.start_enabled);
    EXPECT_FALSE(c.force_enabled);
    EXPECT_FALSE(bench.updater.sequence.busy());
    EXPECT_EQ(bench.updater.sequence.update_state(), UpdateState::kIdle);
    EXPECT_EQ(bench.world.open_handles(), 0);
    // The view was told the same as the kept copy.
    EXPECT_EQ(bench.view.statuses.back(), c.status);
    EXPECT_FALSE(bench.view.start_enabled);
}

// `failed_in`: the phase whose failure ended the last run, as the click returned it.
void ExpectFailedRun(const Bench& bench, int failed_runs, Phase failed_in) {
    const Controls& c = bench.controls();
    EXPECT_EQ(c.message, text::kMessageRunFailed);
    EXPECT_TRUE(c.start_enabled);
    EXPECT_FALSE(c.force_enabled);
    EXPECT_FALSE(c.status.visible);
    EXPECT_FALSE(bench.updater.sequence.busy());
    ASSERT_TRUE(bench.updater.sequence.last_run());
    EXPECT_TRUE(bench.updater.sequence.last_run()->failed());
    EXPECT_EQ(bench.updater.sequence.last_run()->phase, failed_in);
    EXPECT_EQ(bench.updater.sequence.FailedRunCount(), failed_runs);
    EXPECT_EQ(bench.world.open_handles(), 0);
}

TEST(UpdateRun, FromApplicationModeCompletesAtThirteenOfThirteen) {
    Bench bench(kOneOutdatedUnit);
    bench.Create();
    ASSERT_TRUE(bench.controls().start_enabled);
    const auto before = bench.clock.NowMs();
    bench.Start();
    // The floor of a real-time run that the README states: mandated waits and 1 ms transfers.
    EXPECT_EQ(bench.clock.NowMs() - before, 23500u + 2448u + 1396u);

    ExpectCompleted(bench, text::kCaptionCompleted);
    EXPECT_EQ(bench.controls().progress_position, 13);
    EXPECT_EQ(bench.controls().progress_maximum, 13);
    EXPECT_EQ(bench.CountLogged("ChangeBootMode true: 0") +
                  bench.CountLogged("ChangeBootMode true: 1") +
                  bench.CountLogged("ChangeBootMode true: 2"),
              1);
    EXPECT_EQ(bench.world.unit(0).boot_requests, 1);
    EXPECT_EQ(bench.updater.sequence.FailedRunCount(), 0);
    EXPECT_TRUE(bench.UnitHoldsImage());
    EXPECT_EQ(bench.world.unit(0).state, sim::UnitState::kApplication);
    EXPECT_EQ(bench.world.unit(0).running_version, 0x0310);
    // 3 erase, 2x349 blank-check reads, 3x349 program and one end, 2x349 verify reads, 1 reset.
    EXPECT_EQ(bench.TotalReceived(), 2448);
    EXPECT_EQ(bench.Received(BootCommand::kRead), 1396);
    EXPECT_EQ(bench.Received(BootCommand::kProgram), 1047);
    EXPECT_EQ(bench.Received(BootCommand::kProgramEnd), 1);
}

TEST(UpdateRun, TheMessagesFollowTheStepsInOrder) {
    Bench bench(kOneOutdatedUnit);
    bench.Create().Start();
    const std::vector<std::string_view> order = {
        text::kUpdateStart, text::kBootSwitchStart,   text::kBootSwitchDone,  text::kEraseStart,
        text::kEraseDone,   text::kBlankStart,        text::kBlankDone,       text::kProgramStart,
        text::kProgramDone, text::kVerifyStart,       text::kVerifyDone,      text::kResetStart,
        text::kResetDone,   text::kVersionCheckStart, text::kMessageCompleted};
    std::vector<std::string_view> shown(bench.view.messages.begin(), bench.view.messages.end());
    auto at = shown.begin();
    for (auto expected : order) {
        at = std::find(at, shown.end(), expected);
        ASSERT_NE(at, shown.end()) << "missing or out of order: " << expected;
    }
}

TEST(UpdateRun, FromBootModeSendsNoRequestAndEndsAtTwelveOfThirteen) {
    Bench bench(kOneBootLoader);
    bench.Create().Start();
    ExpectCompleted(bench, text::kCaptionCompleted);
    EXPECT_TRUE(bench.Logged("ChangeBootMode true: 0"));
    EXPECT_EQ(bench.controls().progress_position, 12);
    EXPECT_EQ(bench.controls().progress_maximum, 13);
    EXPECT_TRUE(bench.UnitHoldsImage());
    EXPECT_EQ(bench.world.unit(0).running_version, 0x0310);
}

TEST(UpdateRun, ForcedOnACurrentUnitRunsTheWholeUpdate) {
    Bench bench(kOneCurrentUnit);
    bench.Create();
    EXPECT_FALSE(bench.controls().start_enabled);
    bench.updater.form.ckUpdateClick(true);
    ASSERT_TRUE(bench.controls().start_enabled);
    bench.Start();
    EXPECT_EQ(bench.world.unit(0).boot_requests, 1);
    ExpectCompleted(bench, text::kCaptionCompleted);
    EXPECT_EQ(bench.TotalReceived(), 2448);
}

bool Shown(const Bench& bench, std::string_view message, std::size_t from = 0) {
    return std::find(bench.view.messages.begin() + static_cast<long>(from),
                     bench.view.messages.end(), message) != bench.view.messages.end();
}

TEST(UpdateRun, ForceTickedWhileABootLoaderIsCountedSendsNoRequest) {
    Bench bench(kOneBootLoader);
    bench.Create();
    bench.updater.controls.SetForceChecked(true);  // the box is disabled: as a stray tick would
    bench.Start();
    EXPECT_TRUE(bench.Logged("ChangeBootMode true: 0"));
    ExpectCompleted(bench, text::kCaptionCompleted);
    EXPECT_FALSE(Shown(bench, text::kBootSwitchStart));
    EXPECT_EQ(bench.controls().progress_position, 12);  // a request would have made it 13
}

TEST(UpdateRun, AnEraseThatFailsOnceEndsAtFourteenOfFourteen) {
    Bench bench(
        R"({"faults": [{"kind": "failing_writes", "command": "erase", "from": 3, "count": 1}]})");
    bench.Create().Start();
    ExpectCompleted(bench, text::kCaptionCompleted);
    EXPECT_EQ(bench.CountLogged("EraseDevice error"), 1);
    EXPECT_TRUE(bench.Logged("[EraseDevice]erase error! (DevNum:1 / cnt:0)"));
    EXPECT_EQ(bench.controls().progress_position, 14);
    EXPECT_EQ(bench.controls().progress_maximum, 14);
}

TEST(UpdateRun, ThreeFailedVerificationsEndTheRunWithoutAReset) {
    Bench bench(R"({"faults": [{"kind": "stuck_byte", "address": "0x2000", "value": 255}]})");
    bench.Create().Start();
    ExpectFailedRun(bench, 1, Phase::kVerify);
    EXPECT_EQ(bench.CountLogged("ProgramVerify error"), 3);
    EXPECT_EQ(bench.CountLogged("[ProgramVerify]error! adr=8180"), 3);  // chunk holding 0x2000
    EXPECT_EQ(bench.Received(BootCommand::kReset), 0);
    EXPECT_EQ(bench.controls().progress_maximum, 13 + 18);
    EXPECT_EQ(bench.world.unit(0).state, sim::UnitState::kBoot);
}

TEST(UpdateRun, AResetReportedAsFailedStillGoesOnToCompletion) {
    Bench bench(R"({"faults": [{"kind": "refuse_writes", "command": "reset"}]})");
    bench.Create();
    // The unit restarts on its own (power cycled) once the tool has given up on the reset.
    bench.view.on_pump = [&] {
        if (bench.Logged("ResetDevice error") &&
            bench.world.unit(0).state == sim::UnitState::kBoot) {
            bench.world.PowerCycle(0);
        }
    };
    bench.Start();
    EXPECT_TRUE(bench.Logged("[ResetDevice]erase error! (DevNum:1 / retcnt:0)"));
    EXPECT_TRUE(bench.Logged("ResetDevice error"));
    ExpectCompleted(bench, text::kCaptionCompleted);
}

TEST(UpdateRun, NoBootLoaderAfterTwoHundredTriesFailsTheRun) {
    Bench bench(R"({"faults": [{"kind": "ignore_boot_request"}]})");
    bench.Create();
    const auto before = bench.clock.NowMs();
    const long searches_before = bench.world.searches();
    bench.Start();
    ExpectFailedRun(bench, 1, Phase::kBootSwitch);
    EXPECT_TRUE(bench.Logged("CheckBootMode false!!"));
    EXPECT_EQ(bench.world.searches() - searches_before, 200);
    EXPECT_EQ(bench.clock.NowMs() - before, 500 + 200 * 1000);
    EXPECT_EQ(bench.TotalReceived(), 0);
}

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
    bench.updater.controls.SetStartEnabled(true);
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

TEST(UpdateRun, AnExceptionInAProcedureIsCaughtAndFailsTheRun) {
    Bench bench(kOneOutdatedUnit);
    bench.Create();
    bench.view.on_pump = [&] {
        if (bench.controls().message == text::kProgramStart) throw std::runtime_error("boom");
    };
    bench.Start();
    bench.view.on_pump = nullptr;
    const auto lines = bench.log().size();
    ExpectFailedRun(bench, 1, Phase::kProgram);
    EXPECT_EQ(bench.updater.sequence.last_run()->cause, FailureCause::kException);
    EXPECT_EQ(bench.log().size(), lines);
    EXPECT_FALSE(bench.Logged("ProgramVerify error"));
}

// A close request in every phase of a run, the return wait included, is refused with the box
// and the run goes on: at the updater, whatever window or signal sends it.
TEST(UpdateRun, ACloseRequestInEveryPhaseIsRefusedAndTheRunGoesOn) {
    Bench bench(kOneOutdatedUnit);
    bench.Create();
    std::vector<std::string> refused_in;
    bench.view.on_pump = [&] {
        const std::string now = PhaseName(bench.updater.sequence.phase());
        if (!refused_in.empty() && refused_in.back() == now) return;
        if (!bench.updater.form.FormClose()) refused_in.push_back(now);
    };
    bench.Start();
    EXPECT_EQ(refused_in,
              (std::vector<std::string>{"preparing", "boot switch", "erase", "blank check",
                                        "programming", "verification", "reset", "return wait"}));
    EXPECT_EQ(bench.view.modal_boxes,
              std::vector<std::string>(refused_in.size(), std::string(text::kCloseWhileBusy)));
    ExpectCompleted(bench, text::kCaptionCompleted);
    EXPECT_TRUE(bench.updater.form.FormClose());
}

TEST(UpdateRun, TakesTheBootLoaderWaitAndSettleTimesInVirtualTime) {
    Bench bench(R"({"units": [{"mode": "boot"}], "transfer_ms": 1})");
    bench.Create();
    const auto before = bench.clock.NowMs();
    bench.Start();
    // The found boot loader's settle (1500) and the 1000 ms after it; each procedure's 1000 ms
    // after discovery, its pass pauses and settle waits: erase 1000+3x500+1500, blank check
    // 1000+2x500+1500, program and verify 1000+3x500+1500+2x500+1500, reset 1000+1500; then
    // two 1000 ms return cycles until the unit is back from its 3000 ms reset. On top, one
    // millisecond for each of the 2,448 reports written and each of the 1,396 replies read.
    EXPECT_EQ(bench.clock.NowMs() - before,
              1500u + 1000u + 4000u + 3500u + 6500u + 2500u + 2000u + 2448u + 1396u);
}

}  // namespace
}  // namespace qvt
