#include "run_phase.h"

#include <algorithm>

#include "texts.h"

namespace qvt {

const char* PhaseName(Phase phase) {
    switch (phase) {
        case Phase::kIdle:
            return "idle";
        case Phase::kPreparing:
            return "preparing";
        case Phase::kRestartCheck:
            return "restart check";
        case Phase::kBootSwitch:
            return "boot switch";
        case Phase::kErase:
            return "erase";
        case Phase::kBlankCheck:
            return "blank check";
        case Phase::kProgram:
            return "programming";
        case Phase::kVerify:
            return "verification";
        case Phase::kReset:
            return "reset";
        case Phase::kReturnWait:
            return "return wait";
        case Phase::kCompleted:
            return "completed";
        case Phase::kRefused:
            return "refused";
        case Phase::kFailed:
            break;
    }
    return "failed";
}

const char* CauseName(FailureCause cause) {
    switch (cause) {
        case FailureCause::kNone:
            return "none";
        case FailureCause::kBootLoaderNotFound:
            return "no boot loader";
        case FailureCause::kAttemptsUsedUp:
            return "three attempts failed";
        case FailureCause::kResetRefused:
            return "reset refused";
        case FailureCause::kNoReturn:
            return "no return";
        case FailureCause::kSeveralUnits:
            return "several units";
        case FailureCause::kBootLoaderBack:
            return "boot loader back";
        case FailureCause::kUnitLeft:
            return "left the bench";
        case FailureCause::kException:
            break;
    }
    return "exception";
}

const char* RefusalName(Refusal refusal) {
    switch (refusal) {
        case Refusal::kNone:
            return "none";
        case Refusal::kBusy:
            return "a run is on";
        case Refusal::kNothingToUpdate:
            return "nothing to update";
        case Refusal::kVersionUnread:
            return "version unread";
        case Refusal::kStartDisabled:
            break;
    }
    return "start disabled";
}

const char* KindName(RunOutcome::Kind kind) {
    switch (kind) {
        case RunOutcome::Kind::kCompleted:
            return "completed";
        case RunOutcome::Kind::kFailed:
            return "failed";
        case RunOutcome::Kind::kRefused:
            break;
    }
    return "refused";
}

namespace {

// The run's machine. A phase that succeeds leads to the next row's; a step of an attempt sends
// a failure back to the erase, up to the third attempt, whose failure ends the run.
constexpr PhaseRow kPhaseTable[] = {
    {.phase = Phase::kRestartCheck,
     .entry = Entry::kAfterFailedRun,
     .on_success = Phase::kCompleted,
     .on_failure = Phase::kPreparing},
    {.phase = Phase::kPreparing, .entry = Entry::kFirstRun, .on_success = Phase::kBootSwitch},
    {.phase = Phase::kBootSwitch,
     .on_success = Phase::kErase,
     .cause = FailureCause::kBootLoaderNotFound,
     .searches = true},
    {.phase = Phase::kErase,
     .on_success = Phase::kBlankCheck,
     .on_failure = Phase::kErase,
     .cause = FailureCause::kAttemptsUsedUp,
     .attempt = true,
     .pump_after = true,
     .bar_raise_on_failure = 1,
     .failure_log = logtext::kEraseStepFailed,
     .searches = true},
    {.phase = Phase::kBlankCheck,
     .on_success = Phase::kProgram,
     .on_failure = Phase::kErase,
     .cause = FailureCause::kAttemptsUsedUp,
     .attempt = true,
     .pump_after = true,
     .bar_raise_on_failure = 3,
     .failure_log = logtext::kBlankStepFailed,
     .searches = true},
    {.phase = Phase::kProgram,
     .on_success = Phase::kVerify,
     .on_failure = Phase::kErase,
     .cause = FailureCause::kAttemptsUsedUp,
     .attempt = true,
     .pump_after = true,
     .bar_raise_on_failure = 6,
     .failure_log = logtext::kProgramStepFailed,
     .searches = true},
    {.phase = Phase::kVerify,
     .on_success = Phase::kReset,
     .on_failure = Phase::kErase,
     .cause = FailureCause::kAttemptsUsedUp,
     .attempt = true,
     .pump_after = true,
     .bar_raise_on_failure = 6,
     .failure_log = logtext::kProgramStepFailed},
    // A reset reported as failed goes on to the return wait: the unit may have reset anyway.
    {.phase = Phase::kReset,
     .on_success = Phase::kReturnWait,
     .on_failure = Phase::kReturnWait,
     .cause = FailureCause::kResetRefused,
     .pump_after = true,
     .failure_log = logtext::kResetStepFailed,
     .searches = true},
    {.phase = Phase::kReturnWait,
     .on_success = Phase::kCompleted,
     .cause = FailureCause::kNoReturn},
};

// Every phase a run does work in has its row, exactly one.
constexpr bool EveryWorkingPhaseHasOneRow() {
    for (const Phase phase :
         {Phase::kRestartCheck, Phase::kPreparing, Phase::kBootSwitch, Phase::kErase,
          Phase::kBlankCheck, Phase::kProgram, Phase::kVerify, Phase::kReset, Phase::kReturnWait}) {
        int rows = 0;
        for (const PhaseRow& row : kPhaseTable) rows += row.phase == phase ? 1 : 0;
        if (rows != 1) return false;
    }
    return std::size(kPhaseTable) == 9;
}
static_assert(EveryWorkingPhaseHasOneRow());

}  // namespace

std::span<const PhaseRow> PhaseTable() {
    return kPhaseTable;
}

const PhaseRow& RowOf(Phase phase) {
    const auto row = std::find_if(std::begin(kPhaseTable), std::end(kPhaseTable),
                                  [phase](const PhaseRow& row) { return row.phase == phase; });
    // A phase without work (idle, or an ending) has no row: the run never asks for it, and an
    // exception thrown from it ends the run where it stood.
    if (row == std::end(kPhaseTable)) {
        static constexpr PhaseRow kNoWork{.phase = Phase::kFailed};
        return kNoWork;
    }
    return *row;
}

Phase EntryPhase(bool after_failed_run) {
    const Entry wanted = after_failed_run ? Entry::kAfterFailedRun : Entry::kFirstRun;
    return std::find_if(std::begin(kPhaseTable), std::end(kPhaseTable),
                        [wanted](const PhaseRow& row) { return row.entry == wanted; })
        ->phase;
}

}  // namespace qvt
