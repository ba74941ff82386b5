// Whole runs of the Start button against the simulated unit, in virtual time. What a run shows
// (its messages in order, log lines, bar) is held by the golden transcripts of the same
// scenarios; here is what they cannot show: the unit's own state, the transfers, the clock.
#include <gtest/gtest.h>

#include <optional>
#include <set>

#include "run_expectations.h"

namespace qvt {
namespace {

using testing::ExpectCompleted;
using testing::ExpectFailedRun;
using testing::kOneBootLoader;
using testing::kOneCurrentUnit;
using testing::kOneOutdatedUnit;
using testing::Rig;
using testing::Shown;

TEST(UpdateRun, FromApplicationModeCompletesAtThirteenOfThirteen) {
    Rig rig(kOneOutdatedUnit);
    rig.Create();
    ASSERT_TRUE(rig.controls().start_enabled);
    const auto before = rig.clock.NowMs();
    rig.Start();
    // The floor of a real-time run that docs/proof.md states: mandated waits and 1 ms transfers.
    EXPECT_EQ(rig.clock.NowMs() - before, 23500u + 2448u + 1396u);

    ExpectCompleted(rig, text::kCaptionCompleted);
    EXPECT_EQ(rig.world.unit(0).boot_requests, 1);
    EXPECT_EQ(rig.updater.sequence.FailedRunCount(), 0);
    EXPECT_TRUE(rig.UnitHoldsImage());
    EXPECT_EQ(rig.world.unit(0).state, sim::UnitState::kApplication);
    EXPECT_EQ(rig.world.unit(0).running_version, 0x0310);
    // 3 erase, 2x349 blank-check reads, 3x349 program and one end, 2x349 verify reads, 1 reset.
    EXPECT_EQ(rig.TotalReceived(), 2448);
    EXPECT_EQ(rig.Received(BOOT_CMD_READ), 1396);
    EXPECT_EQ(rig.Received(BOOT_CMD_PROGRAM), 1047);
    EXPECT_EQ(rig.Received(BOOT_CMD_PROGRAM_END), 1);
}

// A person sees every message of a run: each is followed by a pump (the window paints)
// before the next one replaces it, whichever way the run goes.
TEST(UpdateRun, EveryMessageIsPumpedBeforeTheNextReplacesIt) {
    const char* const scenarios[] = {
        kOneOutdatedUnit.data(),
        R"({"faults": [{"kind": "refuse_writes", "command": "reset"}]})",
        R"({"faults": [{"kind": "failing_writes", "command": "erase", "from": 3, "count": 1}]})",
        R"({"faults": [{"kind": "silent_reads", "from": 5, "count": 1}]})",
        R"({"faults": [{"kind": "stuck_byte", "address": "0x2000", "value": 255}]})",
        R"({"faults": [{"kind": "ignore_boot_request"}]})",
        R"({"units": [], "events": [{"action": "attach", "unit": {"mode": "boot"},
                                     "at_ms": 5000}]})",
    };
    for (const char* scenario : scenarios) {
        SCOPED_TRACE(scenario);
        Rig rig(scenario);
        rig.Create();
        std::set<std::size_t> pumped;  // how many messages had been shown at each pump
        rig.view.on_pump = [&] { pumped.insert(rig.view.messages.size()); };
        const std::size_t first = rig.view.messages.size();
        rig.updater.model.EnableStart(true);  // also where no unit is seen at start
        rig.Start();
        const auto& shown = rig.view.messages;
        ASSERT_GT(shown.size(), first + 1);
        for (std::size_t i = first; i + 1 < shown.size(); ++i) {
            EXPECT_TRUE(pumped.count(i + 1))
                << "never painted: " << shown[i] << ", replaced by " << shown[i + 1];
        }
    }
}

TEST(UpdateRun, FromBootModeSendsNoRequest) {
    Rig rig(kOneBootLoader);
    rig.Create().Start();
    ExpectCompleted(rig, text::kCaptionCompleted);
    EXPECT_EQ(rig.world.unit(0).boot_requests, 0);
    EXPECT_TRUE(rig.UnitHoldsImage());
    EXPECT_EQ(rig.world.unit(0).running_version, 0x0310);
}

TEST(UpdateRun, ForcedOnACurrentUnitRunsTheWholeUpdate) {
    Rig rig(kOneCurrentUnit);
    rig.Create();
    EXPECT_FALSE(rig.controls().start_enabled);
    rig.updater.form.ckUpdateClick(true);
    ASSERT_TRUE(rig.controls().start_enabled);
    rig.Start();
    EXPECT_EQ(rig.world.unit(0).boot_requests, 1);
    ExpectCompleted(rig, text::kCaptionCompleted);
    EXPECT_EQ(rig.TotalReceived(), 2448);
}

TEST(UpdateRun, ForceTickedWhileABootLoaderIsCountedSendsNoRequest) {
    Rig rig(kOneBootLoader);
    rig.Create();
    rig.updater.model.CheckForce(true);  // the box is disabled: as a stray tick would
    rig.Start();
    EXPECT_TRUE(rig.Logged("ChangeBootMode true: 0"));
    ExpectCompleted(rig, text::kCaptionCompleted);
    EXPECT_FALSE(Shown(rig, text::kBootSwitchStart));
    EXPECT_EQ(rig.controls().progress_position, 12);  // a request would have made it 13
}

TEST(UpdateRun, AnEraseThatFailsOnceStillCompletes) {
    Rig rig(
        R"({"faults": [{"kind": "failing_writes", "command": "erase", "from": 3, "count": 1}]})");
    rig.Create().Start();
    ExpectCompleted(rig, text::kCaptionCompleted);
    EXPECT_TRUE(rig.UnitHoldsImage());
}

TEST(UpdateRun, ThreeFailedVerificationsEndTheRunWithoutAReset) {
    Rig rig(R"({"faults": [{"kind": "stuck_byte", "address": "0x2000", "value": 255}]})");
    rig.Create().Start();
    ExpectFailedRun(rig, 1, Phase::kVerify);
    EXPECT_EQ(rig.Received(BOOT_CMD_RESET), 0);
    EXPECT_EQ(rig.world.unit(0).state, sim::UnitState::kBoot);
}

TEST(UpdateRun, AResetReportedAsFailedStillGoesOnToCompletion) {
    Rig rig(R"({"faults": [{"kind": "refuse_writes", "command": "reset"}]})");
    rig.Create();
    // The unit restarts on its own (power cycled) once the tool has given up on the reset.
    rig.view.on_pump = [&] {
        if (rig.Logged("ResetDevice error") && rig.world.unit(0).state == sim::UnitState::kBoot) {
            rig.world.PowerCycle(0);
        }
    };
    rig.Start();
    ExpectCompleted(rig, text::kCaptionCompleted);
}

TEST(UpdateRun, NoBootLoaderAfterTwoHundredTriesFailsTheRun) {
    Rig rig(R"({"faults": [{"kind": "ignore_boot_request"}]})");
    rig.Create();
    const auto before = rig.clock.NowMs();
    const long searches_before = rig.world.searches();
    rig.Start();
    ExpectFailedRun(rig, 1, Phase::kBootSwitch);
    EXPECT_EQ(rig.world.searches() - searches_before, 200);
    EXPECT_EQ(rig.clock.NowMs() - before, 500 + 200 * 1000);
    EXPECT_EQ(rig.TotalReceived(), 0);
}

// An exception in any phase, the restart check and the preparation included, fails that run
// where it was: Start enabled again, the busy flag clear, no handle left open.
TEST(UpdateRun, AnExceptionInAnyPhaseIsCaughtAndFailsTheRun) {
    for (const Phase phase : {Phase::kRestartCheck, Phase::kPreparing, Phase::kBootSwitch,
                              Phase::kErase, Phase::kProgram, Phase::kReturnWait}) {
        SCOPED_TRACE(PhaseName(phase));
        // A restart check needs a failed run before it: one that finds no boot loader.
        const bool restart = phase == Phase::kRestartCheck;
        Rig rig(restart ? R"({"boot_switch_delay_ms": 250000})" : kOneOutdatedUnit);
        rig.Create();
        if (restart) rig.Start();
        rig.view.on_pump = [&] {
            if (rig.updater.sequence.phase() == phase) throw std::runtime_error("boom");
        };
        const RunOutcome outcome = rig.updater.form.btnStartClick();
        rig.view.on_pump = nullptr;
        EXPECT_EQ(outcome,
                  (RunOutcome{RunOutcome::Kind::kFailed, phase, FailureCause::kException}));
        EXPECT_EQ(rig.controls().message, text::kMessageRunFailed);
        EXPECT_TRUE(rig.controls().start_enabled);
        EXPECT_FALSE(rig.updater.sequence.busy());
        EXPECT_EQ(rig.updater.sequence.FailedRunCount(), restart ? 2 : 1);
        EXPECT_EQ(rig.world.open_handles(), 0);
    }
}

// A close request in every phase of a run, the return wait included, is refused with the box
// and the run goes on: at the updater, whatever window or signal sends it.
TEST(UpdateRun, ACloseRequestInEveryPhaseIsRefusedAndTheRunGoesOn) {
    Rig rig(kOneOutdatedUnit);
    rig.Create();
    std::vector<std::string> refused_in;
    rig.view.on_pump = [&] {
        const std::string now = PhaseName(rig.updater.sequence.phase());
        if (!refused_in.empty() && refused_in.back() == now) return;
        if (!rig.updater.form.FormClose()) refused_in.push_back(now);
    };
    rig.Start();
    EXPECT_EQ(refused_in,
              (std::vector<std::string>{"preparing", "boot switch", "erase", "blank check",
                                        "programming", "verification", "reset", "return wait"}));
    EXPECT_EQ(rig.view.modal_boxes,
              std::vector<std::string>(refused_in.size(), std::string(text::kCloseWhileBusy)));
    ExpectCompleted(rig, text::kCaptionCompleted);
    EXPECT_TRUE(rig.updater.form.FormClose());
}

TEST(UpdateRun, TakesTheBootLoaderWaitAndSettleTimesInVirtualTime) {
    Rig rig(R"({"units": [{"mode": "boot"}], "transfer_ms": 1})");
    rig.Create();
    const auto before = rig.clock.NowMs();
    rig.Start();
    // The found boot loader's settle (1500) and the 1000 ms after it; each procedure's 1000 ms
    // after discovery, its pass pauses and settle waits: erase 1000+3x500+1500, blank check
    // 1000+2x500+1500, program and verify 1000+3x500+1500+2x500+1500, reset 1000+1500; then
    // two 1000 ms return cycles until the unit is back from its 3000 ms reset. On top, one
    // millisecond for each of the 2,448 reports written and each of the 1,396 replies read.
    EXPECT_EQ(rig.clock.NowMs() - before,
              1500u + 1000u + 4000u + 3500u + 6500u + 2500u + 2000u + 2448u + 1396u);
}

}  // namespace
}  // namespace qvt
