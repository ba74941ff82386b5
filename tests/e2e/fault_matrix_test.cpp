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
    std::optional<RunOutcome> outcome;   // what the click of Start returns
    std::vector<const char*> log_lines;  // each appears at least once
    int progress_maximum = -1;           // -1: not checked
};

std::ostream& operator<<(std::ostream& out, const Row& row) {
    return out << row.name;
}

class FaultMatrix : public ::testing::TestWithParam<Row> {};

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

    const FormModel::Controls& c = rig.controls();
    for (const char* line : row.log_lines)
        EXPECT_TRUE(rig.Logged(line)) << "missing log line: " << line;
    EXPECT_FALSE(rig.updater.sequence.busy());
    EXPECT_FALSE(c.force_enabled);
    EXPECT_EQ(rig.world.open_handles(), 0);
    if (row.progress_maximum >= 0) {
        EXPECT_EQ(c.progress_maximum, row.progress_maximum);
    }

    const bool reported_complete = c.status.visible && c.status.caption == text::kCaptionCompleted;
    if (row.outcome->completed()) {
        EXPECT_TRUE(reported_complete);
        EXPECT_EQ(c.message, text::kMessageCompleted);
        EXPECT_FALSE(c.start_enabled);
        EXPECT_EQ(rig.updater.sequence.FailedRunCount(), 0);
    } else {
        EXPECT_FALSE(reported_complete);
        EXPECT_EQ(c.message, text::kMessageRunFailed);
        EXPECT_TRUE(c.start_enabled);
        EXPECT_EQ(rig.updater.sequence.FailedRunCount(), 1);
    }
    // The invariant: completion means the unit holds the image and runs it.
    if (reported_complete) {
        EXPECT_TRUE(rig.UnitHoldsImage(0));
        EXPECT_EQ(rig.world.unit(0).state, sim::UnitState::kApplication);
        EXPECT_GE(rig.world.unit(0).running_version, 0x0310);
    }
}

const Row kRows[] = {
    {"EraseRefusedInTheFirstTwoPasses",
     R"({"faults": [{"kind": "refuse_writes", "command": "erase", "from": 1, "count": 2}]})",
     kDone,
     {},
     13},
    {"EraseRefusedInTheThirdPass",
     R"({"faults": [{"kind": "refuse_writes", "command": "erase", "from": 3, "count": 1}]})",
     kDone,
     {"[EraseDevice]erase error! (DevNum:1 / cnt:0)", "EraseDevice error"},
     14},
    {"EraseAlwaysFailing",
     R"({"faults": [{"kind": "failing_writes", "command": "erase"}]})",
     FailedAt(Phase::kErase, FailureCause::kAttemptsUsedUp),
     {"[EraseDevice]erase error! (DevNum:1 / cnt:0)", "EraseDevice error"},
     16},
    {"OneProgramReportLost",
     R"({"faults": [{"kind": "refuse_writes", "command": "program", "from": 100, "count": 1}]})",
     kDone,
     {},
     13},
    {"EveryProgramReportFailing",
     R"({"faults": [{"kind": "failing_writes", "command": "program"}]})",
     FailedAt(Phase::kVerify, FailureCause::kAttemptsUsedUp),
     {"[ProgramVerify]error! adr=4352", "ProgramVerify error"},
     31},
    // The updater does not look at the end report's result; the unit, never told that its
    // image is complete, stays in its boot loader after the reset.
    // Without its end report the unit would never start the image: the programming fails.
    {"ProgramEndRefusedFailsTheProgramming",
     R"({"faults": [{"kind": "refuse_writes", "command": "program_end"}]})",
     FailedAt(Phase::kProgram, FailureCause::kAttemptsUsedUp),
     {"[ProgramVerify]end error! (DevNum:1 / cnt:0)", "ProgramVerify error"},
     31},
    {"ReadRequestRefusedOnce",
     R"({"faults": [{"kind": "refuse_writes", "command": "read", "from": 5, "count": 1}]})",
     kDone,
     {"[BlankCheck]error! adr=4584", "BlankCheck error"},
     16},
    {"OneSilentReadInTheBlankCheck",
     R"({"faults": [{"kind": "silent_reads", "from": 360, "count": 1}]})",
     kDone,
     {"[BlankCheck]error! adr=4932", "BlankCheck error"},
     16},
    {"BootLoaderFallsSilentAfterGoodBlankReplies",
     R"({"faults": [{"kind": "silent_reads", "from": 10}]})",
     FailedAt(Phase::kBlankCheck, FailureCause::kAttemptsUsedUp),
     {"[BlankCheck]error! adr=4874", "BlankCheck error"},
     22},
    {"OneSilentReadInTheVerification",
     R"({"faults": [{"kind": "silent_reads", "from": 1000, "count": 1}]})",
     kDone,
     {"ProgramVerify error"},
     19},
    {"ALateReplyWithinTheBound",
     R"({"faults": [{"kind": "late_reads", "from": 1, "count": 50, "delay_ms": 30}]})",
     kDone,
     {},
     13},
    {"ALateReplyPastTheBound",
     R"({"faults": [{"kind": "late_reads", "from": 900, "count": 1, "delay_ms": 200}]})",
     kDone,
     {"ProgramVerify error"},
     19},
    {"StuckByteInTheApplicationArea",
     R"({"faults": [{"kind": "stuck_byte", "address": "0x5FE0", "value": 0}]})",
     FailedAt(Phase::kBlankCheck, FailureCause::kAttemptsUsedUp),
     {"[BlankCheck]error! adr=24536", "BlankCheck error"},
     22},
    {"StuckByteInTheBootLoaderArea",
     R"({"faults": [{"kind": "stuck_byte", "address": "0x0100", "value": 0}]})",
     kDone,
     {},
     13},
    {"UnplugDuringTheBlankCheck",
     R"({"faults": [{"kind": "unplug", "after_reports": 300}]})",
     FailedAt(Phase::kErase, FailureCause::kAttemptsUsedUp),
     {"BlankCheck error", "[EraseDevice]OpenHid count:200", "[EraseDevice]OpenHid error!"}},
    {"UnplugDuringProgramming",
     R"({"faults": [{"kind": "unplug", "after_reports": 1200}]})",
     FailedAt(Phase::kErase, FailureCause::kAttemptsUsedUp),
     {"ProgramVerify error", "[EraseDevice]OpenHid error!"}},
    {"BootSwitchSlowerThanTheWait",
     R"({"boot_switch_delay_ms": 250000})",
     FailedAt(Phase::kBootSwitch, FailureCause::kBootLoaderNotFound),
     {"CheckBootMode false!!"}},
    {"SlowBootSwitchWithinTheWait", R"({"boot_switch_delay_ms": 20000})", kDone, {}, 13},
    {"ResetRefused",
     R"({"faults": [{"kind": "refuse_writes", "command": "reset"}]})",
     FailedAt(Phase::kReturnWait, FailureCause::kResetRefused),
     {"[ResetDevice]erase error! (DevNum:1 / retcnt:0)", "ResetDevice error"}},
    {"ComesBackNewerThanTheImage",
     R"({"faults": [{"kind": "return_version", "version": "3.11"}]})",
     kDone,
     {}},
    {"StaysInTheBootLoaderAfterReset",
     R"({"faults": [{"kind": "stays_in_boot"}]})",
     FailedAt(Phase::kReturnWait, FailureCause::kNoReturn),
     {"[ResetDevice]OpenHid count:0"}},
    {"ForeignHidDevicesBeside",
     R"({"foreign_hid": [{"vendor": "0x046D", "product": "0xC52B"}, {"vendor": "0x045E", "product": "0x0800"}]})",
     kDone,
     {},
     13},
    {"VersionQueryFailsAtStartUp",
     R"({"faults": [{"kind": "version_query_fails"}]})",
     kNotStarted,
     {}},
    {"TwoUnitsAtStartUp",
     R"({"units": [{"mode": "application", "version": "3.00"}, {"mode": "boot"}]})",
     kNotStarted,
     {}},
};

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) { return info.param.name; });

}  // namespace
}  // namespace qvt
