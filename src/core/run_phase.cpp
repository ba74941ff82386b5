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
        case Phase::kFailed:
            break;
    }
    return "failed";
}

}  // namespace qvt
