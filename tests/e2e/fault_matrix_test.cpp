// Every fault the simulator can inject, across the phases of a run. Whatever happens, a run
// ends in an outcome the updater defines, and completion is only ever reported for a unit
// that holds the image and came back running it. Cases that a run test covers more closely
// (tests/e2e/update_run_test.cpp) are not repeated here.
#include <gtest/gtest.h>

#include <optional>

#include "rig.h"
#include "texts.h"

namespace qvt {
namespace {

using testing::Rig;

constexpr RunOutcome FailedAt(Phase phase, FailureCause cause) {
    return {RunOutcome::Kind::kFailed, phase, cause, Refusal::kNone};
}
constexpr RunOutcome kDone{RunOutcome::Kind::kCompleted, Phase::kReturnWait, FailureCause::kNone,
                           Refusal::kNone, Verdict::Reason::kBackCurrent};
constexpr std::optional<RunOutcome> kNotStarted;  // the start-up check leaves Start disabled

struct Row {
    const char* name;
    const char* scenario;
    std::optional<RunOutcome> outcome;  // what the click of Start returns
};

std::ostream& operator<<(std::ostream& out, const Row& row) {
    return out << row.name;
}

class FaultMatrix : public ::testing::TestWithParam<Row> {};

// What each row's run shows (its log lines, messages, bar and controls) is held by the golden
// transcripts of tests/golden/scenarios/fault_matrix.EndsInTheDefinedOutcome.N.json, the Nth
// row's scenario. Here: the outcome, what nothing shown can tell, and the world's own truth.
TEST_P(FaultMatrix, EndsInTheDefinedOutcome) {
    const Row& row = GetParam();
    Rig rig(row.scenario);
    rig.Create();
    if (!row.outcome) {
        EXPECT_FALSE(rig.controls().start_enabled);
        EXPECT_EQ(rig.TotalReceived(), 0);
        EXPECT_EQ(rig.world.open_handles(), 0);
        return;
    }
    ASSERT_TRUE(rig.controls().start_enabled);
    EXPECT_EQ(rig.updater.form.btnStartClick(), *row.outcome);
    EXPECT_FALSE(rig.updater.sequence.busy());
    EXPECT_EQ(rig.world.open_handles(), 0);
    EXPECT_EQ(rig.updater.sequence.FailedRunCount(), row.outcome->completed() ? 0 : 1);

    // The invariant: completion, returned or shown, means the unit holds the image and runs it.
    const WindowModel::Controls& c = rig.controls();
    const bool reported_complete = c.status.visible && c.status.caption == text::kCaptionCompleted;
    if (reported_complete || row.outcome->completed()) {
        EXPECT_TRUE(rig.UnitHoldsImage(0));
        EXPECT_EQ(rig.world.unit(0).state, sim::UnitState::kApplication);
        EXPECT_GE(rig.world.unit(0).running_version, 0x0310);
    }
}

const Row kRows[] = {
    {"EraseRefusedInTheFirstTwoPasses",
     R"({"faults": [{"kind": "refuse_writes", "command": "erase", "from": 1, "count": 2}]})",
     kDone},
    {"EraseRefusedInTheThirdPass",
     R"({"faults": [{"kind": "refuse_writes", "command": "erase", "from": 3, "count": 1}]})",
     kDone},
    {"EraseAlwaysFailing", R"({"faults": [{"kind": "failing_writes", "command": "erase"}]})",
     FailedAt(Phase::kErase, FailureCause::kAttemptsUsedUp)},
    {"OneProgramReportLost",
     R"({"faults": [{"kind": "refuse_writes", "command": "program", "from": 100, "count": 1}]})",
     kDone},
    {"EveryProgramReportFailing",
     R"({"faults": [{"kind": "failing_writes", "command": "program"}]})",
     FailedAt(Phase::kVerify, FailureCause::kAttemptsUsedUp)},
    // The updater does not look at the end report's result; the unit, never told that its
    // image is complete, stays in its boot loader after the reset.
    // Without its end report the unit would never start the image: the programming fails.
    {"ProgramEndRefusedFailsTheProgramming",
     R"({"faults": [{"kind": "refuse_writes", "command": "program_end"}]})",
     FailedAt(Phase::kProgram, FailureCause::kAttemptsUsedUp)},
    {"ReadRequestRefusedOnce",
     R"({"faults": [{"kind": "refuse_writes", "command": "read", "from": 5, "count": 1}]})", kDone},
    {"OneSilentReadInTheBlankCheck",
     R"({"faults": [{"kind": "silent_reads", "from": 360, "count": 1}]})", kDone},
    {"BootLoaderFallsSilentAfterGoodBlankReplies",
     R"({"faults": [{"kind": "silent_reads", "from": 10}]})",
     FailedAt(Phase::kBlankCheck, FailureCause::kAttemptsUsedUp)},
    {"OneSilentReadInTheVerification",
     R"({"faults": [{"kind": "silent_reads", "from": 1000, "count": 1}]})", kDone},
    {"ALateReplyWithinTheBound",
     R"({"faults": [{"kind": "late_reads", "from": 1, "count": 50, "delay_ms": 30}]})", kDone},
    {"ALateReplyPastTheBound",
     R"({"faults": [{"kind": "late_reads", "from": 900, "count": 1, "delay_ms": 200}]})", kDone},
    {"StuckByteInTheApplicationArea",
     R"({"faults": [{"kind": "stuck_byte", "address": "0x5FE0", "value": 0}]})",
     FailedAt(Phase::kBlankCheck, FailureCause::kAttemptsUsedUp)},
    {"StuckByteInTheBootLoaderArea",
     R"({"faults": [{"kind": "stuck_byte", "address": "0x0100", "value": 0}]})", kDone},
    {"UnplugDuringTheBlankCheck", R"({"faults": [{"kind": "unplug", "after_reports": 300}]})",
     FailedAt(Phase::kErase, FailureCause::kAttemptsUsedUp)},
    {"UnplugDuringProgramming", R"({"faults": [{"kind": "unplug", "after_reports": 1200}]})",
     FailedAt(Phase::kErase, FailureCause::kAttemptsUsedUp)},
    {"BootSwitchSlowerThanTheWait", R"({"boot_switch_delay_ms": 250000})",
     FailedAt(Phase::kBootSwitch, FailureCause::kBootLoaderNotFound)},
    {"SlowBootSwitchWithinTheWait", R"({"boot_switch_delay_ms": 20000})", kDone},
    {"ResetRefused", R"({"faults": [{"kind": "refuse_writes", "command": "reset"}]})",
     FailedAt(Phase::kReturnWait, FailureCause::kResetRefused)},
    {"ComesBackNewerThanTheImage", R"({"faults": [{"kind": "return_version", "version": "3.11"}]})",
     kDone},
    {"StaysInTheBootLoaderAfterReset", R"({"faults": [{"kind": "stays_in_boot"}]})",
     FailedAt(Phase::kReturnWait, FailureCause::kNoReturn)},
    {"ForeignHidDevicesBeside",
     R"({"foreign_hid": [{"vendor": "0x046D", "product": "0xC52B"}, {"vendor": "0x045E", "product": "0x0800"}]})",
     kDone},
    {"VersionQueryFailsAtStartUp", R"({"faults": [{"kind": "version_query_fails"}]})", kNotStarted},
    {"TwoUnitsAtStartUp",
     R"({"units": [{"mode": "application", "version": "3.00"}, {"mode": "boot"}]})", kNotStarted},
};

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) { return info.param.name; });

}  // namespace
}  // namespace qvt
