#pragma once

#include <cstdint>

namespace qvt {

// Every situation a click of Start can be in. The run moves through them by the one table in
// update_sequence.cpp; UpdateState, the number the window's bar follows, is a view of them.
enum class Phase : std::uint8_t {
    kIdle,          // no run has started
    kPreparing,     // Start clicked: controls disabled, the bar back to 0
    kRestartCheck,  // after a failed run: has the unit come back current meanwhile?
    kBootSwitch,    // asking for the boot loader and waiting for it
    kErase,
    kBlankCheck,
    kProgram,
    kVerify,
    kReset,
    kReturnWait,  // waiting for the unit to come back current
    kCompleted,
    kFailed,
    kRefused,  // the restart check found nothing that a run could update
};

const char* PhaseName(Phase phase);

// Why a run failed.
enum class FailureCause : std::uint8_t {
    kNone,
    kBootLoaderNotFound,  // no boot loader within the boot switch's tries
    kAttemptsUsedUp,      // the third attempt failed too, at the outcome's phase
    kResetRefused,        // the reset was not accepted, and no unit came back current
    kNoReturn,            // the reset went out, and no unit came back current in time
    kException,           // an exception inside the run
};

// Why a click of Start started nothing.
enum class Refusal : std::uint8_t {
    kNone,
    kBusy,            // a run is on
    kStartDisabled,   // the start-up check or a completion left Start disabled
    kNothingToUpdate  // the restart check found one current unit, and no request would go out
};

const char* CauseName(FailureCause cause);
const char* RefusalName(Refusal refusal);

// What one click of Start came to.
struct RunOutcome {
    enum class Kind : std::uint8_t { kCompleted, kFailed, kRefused };
    Kind kind = Kind::kRefused;
    // Completed: the phase that confirmed it (the restart check or the return wait). Failed:
    // the phase whose failure ended the run. Refused: the phase the click found, or the restart
    // check that found nothing to update.
    Phase phase = Phase::kIdle;
    FailureCause cause = FailureCause::kNone;
    Refusal refusal = Refusal::kNone;

    bool completed() const { return kind == Kind::kCompleted; }
    bool failed() const { return kind == Kind::kFailed; }
    bool operator==(const RunOutcome&) const = default;
};

const char* KindName(RunOutcome::Kind kind);

}  // namespace qvt
