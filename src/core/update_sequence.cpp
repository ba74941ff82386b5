#include "update_sequence.h"

#include <algorithm>
#include <string>

#include "startup_rows.h"
#include "texts.h"

namespace qvt {
namespace {

RunOutcome Failed(Phase phase, FailureCause cause) {
    return {RunOutcome::Kind::kFailed, phase, cause, Refusal::kNone};
}

bool Ended(Phase phase) {
    return phase == Phase::kCompleted || phase == Phase::kFailed || phase == Phase::kRefused;
}

}  // namespace

RunOutcome UpdateSequence::btnStartClick(std::int32_t expected_boot_loaders) {
    // Only a click on an enabled Start begins a run: one that arrives while a run is on, or
    // while the start-up check or a completion left Start disabled (a key the dialog manager
    // turned into a click, a message posted by another program), starts nothing.
    if (busy_) return {RunOutcome::Kind::kRefused, phase_, FailureCause::kNone, Refusal::kBusy};
    if (!form_.controls().start_enabled) {
        return {RunOutcome::Kind::kRefused, phase_, FailureCause::kNone, Refusal::kStartDisabled};
    }
    SetBusy(true);
    expected_ = expected_boot_loaders;
    last_run_.reset();
    failed_attempts_ = 0;
    carried_cause_ = FailureCause::kNone;
    if (failed_run_count_ == 0) {
        units_at_start_ = link_.boot_loader_count() + app_.census().app_device_count;
    }
    form_.EnableStart(false);
    form_.EnableForce(false);
    // After a failed run, the unit may have come back current meanwhile.
    phase_ = EntryPhase(failed_run_count_ != 0);
    {
        // Held from before anything is asked of a unit until the run has ended, however.
        struct Awake {
            AwakeHold* hold;
            ~Awake() {
                if (hold) hold->Release();
            }
        } awake{awake_};
        if (awake_ && !awake_->Hold(text::kCloseWhileBusy) && !told_no_awake_hold_) {
            told_no_awake_hold_ = true;
            form_.AppendLog(logtext::kNoAwakeHold);
        }
        RunPhases();
    }
    ShowEnding();
    last_run_ = outcome_;
    return outcome_;
}

void UpdateSequence::RunPhases() {
    try {
        while (!Ended(phase_)) Transition(RunPhase(phase_));
    } catch (...) {
        outcome_ = Failed(phase_, FailureCause::kException);
        phase_ = RowOf(phase_).on_exception;
    }
}

void UpdateSequence::ForgetUnit() {
    failed_run_count_ = 0;
    last_run_.reset();
    most_units_at_a_reset_ = 0;
    return_awaited_ = reset_accepted_ = programmed_ = false;
    units_at_start_ = units_at_programming_end_ = 0;
    phase_ = Phase::kIdle;
}

UpdateSequence::Step UpdateSequence::RunPhase(Phase phase) {
    auto step = [](bool succeeded) { return succeeded ? Step::kSucceeded : Step::kFailed; };
    switch (phase) {
        case Phase::kRestartCheck:
            return RestartCheck();
        case Phase::kPreparing:
            Prepare();
            return Step::kSucceeded;
        case Phase::kBootSwitch:
            return step(BootSwitch());
        case Phase::kErase: {
            const bool erased = protocol_.EraseDevice(expected_);
            // An erase that found a boot loader may have wiped what was programmed before it.
            if (link_.boot_loader_count() != 0) programmed_ = false;
            return step(erased);
        }
        case Phase::kBlankCheck:
            return step(protocol_.BlankCheck(expected_));
        case Phase::kProgram:
            if (!protocol_.SendImage(expected_)) return Step::kFailed;
            // Counted the moment the end report has gone out, as at a reset.
            programmed_ = protocol_.programming_ended();
            app_.ProbeAppMode();
            units_at_programming_end_ = link_.boot_loader_count() + app_.census().app_device_count;
            protocol_.FinishProgramming();
            return Step::kSucceeded;
        case Phase::kVerify:
            return step(protocol_.Verify());
        case Phase::kReset:
            return step(Reset());
        case Phase::kReturnWait:
            return step(ReturnWait());
        case Phase::kIdle:
        case Phase::kCompleted:
        case Phase::kFailed:
        case Phase::kRefused:
            break;
    }
    return Step::kFailed;
}

void UpdateSequence::Transition(Step step) {
    const PhaseRow& row = RowOf(phase_);
    Phase next = row.on_success;
    if (step == Step::kNothingToUpdate) {
        outcome_ = {RunOutcome::Kind::kRefused, phase_, FailureCause::kNone,
                    Refusal::kNothingToUpdate};
        next = row.on_nothing_to_update;
    } else if (step == Step::kFailed) {
        next = row.on_failure;
        if (!row.failure_log.empty()) form_.AppendLog(row.failure_log);
        if (row.bar_raise_on_failure != 0) form_.RaiseBarMaximum(row.bar_raise_on_failure);
        if (row.attempt && ++failed_attempts_ == kAttempts) next = Phase::kFailed;
        if (next == Phase::kFailed) {
            outcome_ =
                Failed(phase_, carried_cause_ != FailureCause::kNone ? carried_cause_ : row.cause);
        } else if (!row.attempt) {
            carried_cause_ = row.cause;
        }
    } else if (next == Phase::kCompleted) {
        outcome_ = {RunOutcome::Kind::kCompleted, phase_, FailureCause::kNone, Refusal::kNone};
    }
    if (row.pump_after) form_.Pump();
    phase_ = next;
}

void UpdateSequence::ShowEnding() {
    switch (phase_) {
        case Phase::kCompleted:
            Complete(outcome_.phase == Phase::kRestartCheck ? text::kCaptionCompletedOnRestart
                                                            : text::kCaptionCompleted);
            break;
        case Phase::kRefused:
            form_.ShowRow(kRowCurrent);
            SetBusy(false);
            break;
        default:
            FailRun();
            break;
    }
}

UpdateSequence::Step UpdateSequence::RestartCheck() {
    app_.ProbeAppMode();
    link_.ProbeBootMode(expected_);
    if (CompletionTest()) return Step::kSucceeded;
    // One unit, current, no boot loader, none that this program flashed on its way, and no
    // request would go out: the boot switch would wait its 200 searches for a boot loader that
    // nothing brings. The click ends as the start-up check would have begun with this unit,
    // the force box offered.
    const DeviceCensus& census = app_.census();
    if (!return_awaited_ && !programmed_ && census.app_device_count == 1 &&
        census.outdated_count == 0 && link_.boot_loaders_seen() == 0 &&
        !app_.BootModeRequestDue(form_.controls().force_checked, link_.boot_loader_count())) {
        return Step::kNothingToUpdate;
    }
    return Step::kFailed;
}

void UpdateSequence::Prepare() {
    form_.ShowMessage(text::kUpdateStart);
    form_.ResetBar();
    form_.HideStatus();
}

bool UpdateSequence::BootSwitch() {
    form_.StepBar();
    const bool force = form_.controls().force_checked;
    if (app_.BootModeRequestDue(force, link_.boot_loader_count())) {
        app_.RequestBootMode(form_, force);
        clock_.Sleep(kAfterBootRequestMs);
    }
    for (int search = 0; search < kBootLoaderSearches; ++search) {
        if (link_.ProbeBootMode(expected_)) {
            form_.AppendLog(std::string(logtext::kBootFoundAtTry) + std::to_string(search));
            form_.ShowMessage(text::kBootSwitchDone);
            form_.StepBar();
            clock_.Sleep(kWaitCycleMs);
            // The attempts erase whatever an earlier run reset: only this run's reset is
            // awaited from here on.
            return_awaited_ = false;
            reset_accepted_ = false;
            return true;
        }
        clock_.Sleep(kWaitCycleMs);
        form_.Pump();
    }
    form_.AppendLog(logtext::kBootNeverFound);
    return false;
}

bool UpdateSequence::Reset() {
    const BootProtocol::ResetSent sent = protocol_.SendReset(expected_);
    if (sent.found) {
        // Counted the moment the reset went out: the units it reached have just left the bus.
        app_.ProbeAppMode();
        const std::int32_t boot_loaders = link_.boot_loader_count();
        return_awaited_ = boot_loaders > 0;
        most_units_at_a_reset_ =
            std::max(most_units_at_a_reset_, boot_loaders + app_.census().app_device_count);
    }
    reset_accepted_ = protocol_.FinishReset(sent);
    return reset_accepted_;
}

bool UpdateSequence::ReturnWait() {
    form_.ShowMessage(text::kVersionCheckStart);
    form_.Pump();
    if (!app_.DriverPresent()) return ReturnWaitWithoutDriver();
    for (int cycle = 0; cycle < kReturnCycles; ++cycle) {
        if (link_.ProbeBootMode(expected_)) {
            clock_.Sleep(kWaitCycleMs);
        } else {
            if (app_.ProbeAppMode() && CompletionTest()) return true;
            clock_.Sleep(kWaitCycleMs);
        }
        form_.Pump();
    }
    return false;
}

bool UpdateSequence::ReturnWaitWithoutDriver() {
    int gone = 0;  // consecutive cycles without a boot loader
    for (int cycle = 0; cycle < kReturnCycles; ++cycle) {
        if (link_.ProbeBootMode(expected_)) {
            gone = 0;  // still there, or back: the reset did not start the application
        } else if (++gone >= kGoneCyclesForCompletion && reset_accepted_) {
            form_.AppendLog(logtext::kVersionNotReadHere);
            return true;
        }
        clock_.Sleep(kWaitCycleMs);
        form_.Pump();
    }
    return false;
}

bool UpdateSequence::CompletionTest() const {
    const DeviceCensus& census = app_.census();
    std::int32_t units_back = 0;  // the units a completion needs in application mode
    if (return_awaited_) {
        units_back = most_units_at_a_reset_;
    } else if (programmed_) {
        // No reset of this run reached the unit: it restarted or was plugged back on its own.
        // A unit plugged in meanwhile still cannot make up for one that did not come back.
        units_back = std::max({units_at_start_, units_at_programming_end_, most_units_at_a_reset_});
    }
    if (units_back == 0) return false;
    // A unit whose version could not be read is not known to be current, whatever the census
    // counts it as. No boot loader left means none seen at all: more of them than expected
    // are still there, though the search offers none to work with.
    return census.app_device_count == units_back && census.outdated_count == 0 &&
           link_.boot_loaders_seen() == 0 && census.AllReadAndAtLeast(app_.image_version());
}

void UpdateSequence::SetBusy(bool busy) {
    busy_ = busy;
    form_.SetBusy(busy);
}

void UpdateSequence::FailRun() {
    ++failed_run_count_;
    form_.ShowMessage(text::kMessageRunFailed);
    form_.EnableStart(true);
    SetBusy(false);
}

void UpdateSequence::Complete(std::string_view caption) {
    form_.ShowStatus({std::string(caption), color::kGreen, color::kWhite, true});
    form_.EnableStart(false);
    form_.EnableForce(false);
    form_.ShowMessage(text::kMessageCompleted);
    SetBusy(false);
}

}  // namespace qvt
