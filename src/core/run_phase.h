#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "custody.h"

namespace qvt {

// Every situation a click of Start can be in. The run moves through them by the one table in
// run_phase.cpp; UpdateState, the number the window's bar follows, is a view of them.
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
    kSeveralUnits,        // a search saw more boot loaders than the run expects
    kBootLoaderBack,      // without the driver: a boot loader came back after the reset
    kUnitLeft,            // a station's record: the unit left the bench during its run
};

// Why a click of Start started nothing.
enum class Refusal : std::uint8_t {
    kNone,
    kBusy,             // a run is on
    kStartDisabled,    // the start-up check or a completion left Start disabled
    kNothingToUpdate,  // the restart check found one current unit, and no request would go out
    kVersionUnread,    // as kNothingToUpdate, but the unit's version cannot be read
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
    // Completed: what the completion rule saw.
    Verdict::Reason reason = Verdict::Reason::kNone;

    bool completed() const { return kind == Kind::kCompleted; }
    bool failed() const { return kind == Kind::kFailed; }
    bool operator==(const RunOutcome&) const = default;
};

const char* KindName(RunOutcome::Kind kind);

// Where a click of Start begins: at the preparation, or after a failed run at the restart check.
enum class Entry : std::uint8_t { kNone, kFirstRun, kAfterFailedRun };

// One row of the run's machine: everything the run decides once a phase's work has ended.
struct PhaseRow {
    Phase phase;
    Entry entry = Entry::kNone;  // a click begins here
    Phase on_success = Phase::kFailed;
    // For a step of an attempt: the next attempt's erase (the third attempt's failure ends the
    // run instead).
    Phase on_failure = Phase::kFailed;
    // Why the run failed, when a failure here ends it; for a failure that goes on (the reset's),
    // why the run fails if the phase it goes on to fails.
    FailureCause cause = FailureCause::kNone;
    bool attempt = false;     // a step of one of the three attempts
    bool pump_after = false;  // a boot-loader procedure: a pump follows it, whatever its result
    int bar_raise_on_failure = 0;       // the bar steps a failure skips, added to its maximum
    std::string_view failure_log = {};  // logged when the phase fails; empty for none
    Phase on_nothing_to_update = Phase::kRefused;  // a restart check that finds nothing to do
    Phase on_exception = Phase::kFailed;           // with the cause "exception"
    // The phase searches for a boot loader: a search that sees more than the run expects fails
    // the run (several units), and one that finds none while the flashed unit is back in its
    // application completes it.
    bool searches = false;
};

// Every phase a run can pass through, in the order of a run that succeeds.
std::span<const PhaseRow> PhaseTable();
// The row of a phase that does work; every such phase has one, which the build checks.
const PhaseRow& RowOf(Phase phase);
// The phase a click begins in.
Phase EntryPhase(bool after_failed_run);
inline constexpr int kAttempts = 3;

}  // namespace qvt
