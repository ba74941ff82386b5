#include "run_phase.h"

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

}  // namespace qvt
