#include "update_sequence.h"

#include <algorithm>
#include <string>

#include "texts.h"

namespace qvt {

void UpdateSequence::btnStartClick() {
    // Only a click on an enabled Start begins a run: one that arrives while a run is on, or
    // while the start-up check or a completion left Start disabled (a key the dialog manager
    // turned into a click, a message posted by another program), starts nothing.
    if (busy_ || !form_.controls().start_enabled) return;
    SetBusy(true);
    completed_ = false;  // the record tells this run's outcome from here on
    form_.SetStartEnabled(false);
    form_.SetForceEnabled(false);

    if (failed_run_count_ != 0) {
        // A restart: the unit may have come back current since the last run failed.
        app_.ProbeAppMode();
        link_.ProbeBootMode();
        if (CompletionTest()) {
            Complete(text::kCaptionCompletedOnRestart);
            return;
        }
    }

    state_ = UpdateState::kIdle;
    form_.ShowMessage(text::kUpdateStart);
    display_.AdvanceProgress();
    form_.HideStatus();

    try {
        GuardedSteps();
    } catch (...) {
        state_ = UpdateState::kIdle;
        FailRun();
    }
}

void UpdateSequence::GuardedSteps() {
    if (!SwitchToBootMode()) {
        state_ = UpdateState::kIdle;
        FailRun();
        return;
    }
    // The attempts erase whatever an earlier run reset: only this run's reset is awaited now.
    return_awaited_ = false;
    reset_accepted_ = false;
    Attempts();
    if (state_ == UpdateState::kVerify) Reset();
    if (state_ != UpdateState::kReset) {
        FailRun();  // the attempts ended without a verified programming; no reset was sent
        return;
    }
    ReturnWait();
}

bool UpdateSequence::SwitchToBootMode() {
    state_ = UpdateState::kBootSwitch;
    display_.AdvanceProgress();
    const bool force = form_.controls().force_checked;
    if (app_.census().outdated_count != 0 || (force && link_.boot_loader_count() == 0)) {
        app_.RequestBootMode(display_, force);
        clock_.Sleep(kAfterBootRequestMs);
    }
    for (int attempt = 0; attempt < kBootModeTries; ++attempt) {
        if (link_.ProbeBootMode()) {
            form_.AppendLog(std::string(logtext::kBootFoundAtTry) + std::to_string(attempt));
            form_.ShowMessage(text::kBootSwitchDone);
            display_.AdvanceProgress();
            clock_.Sleep(kWaitCycleMs);
            return true;
        }
        clock_.Sleep(kWaitCycleMs);
        form_.Pump();
    }
    form_.AppendLog(logtext::kBootNeverFound);
    return false;
}

// Up to three attempts. A success leads to the next procedure within the same attempt; a
// failure sends the next attempt back to the erase. Each procedure runs in its own state, and
// the state it leaves on success names the procedure that comes next.
void UpdateSequence::Attempts() {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (state_ == UpdateState::kBootSwitch) {
            state_ = UpdateState::kErase;
            if (!protocol_.EraseDevice(display_)) StepFailed(logtext::kEraseStepFailed, 1);
            form_.Pump();
        }
        if (state_ == UpdateState::kErase) {
            state_ = UpdateState::kBlankCheck;
            if (!protocol_.BlankCheck(display_)) StepFailed(logtext::kBlankStepFailed, 3);
            form_.Pump();
        }
        if (state_ == UpdateState::kBlankCheck) {
            state_ = UpdateState::kProgram;
            if (protocol_.ProgramVerify(display_, [this] { state_ = UpdateState::kVerify; })) {
                return;
            }
            StepFailed(logtext::kProgramStepFailed, 6);
            form_.Pump();
        }
    }
}

void UpdateSequence::StepFailed(std::string_view line, int raise) {
    form_.AppendLog(line);
    state_ = UpdateState::kBootSwitch;
    form_.RaiseProgressMaximum(raise);
}

void UpdateSequence::Reset() {
    state_ = UpdateState::kReset;
    // Counted the moment the reset went out: the units it reached have just left the bus.
    const bool reset = protocol_.ResetDevice(display_, [this] {
        app_.ProbeAppMode();
        const std::int32_t boot_loaders = link_.boot_loader_count();
        return_awaited_ = boot_loaders > 0;
        most_units_at_a_reset_ =
            std::max(most_units_at_a_reset_, boot_loaders + app_.census().app_device_count);
    });
    // A reset reported as failed goes on to the return wait: the unit may have reset anyway.
    if (!reset) form_.AppendLog(logtext::kResetStepFailed);
    reset_accepted_ = reset;
    form_.Pump();
}

void UpdateSequence::ReturnWait() {
    state_ = UpdateState::kIdle;
    form_.ShowMessage(text::kVersionCheckStart);
    form_.Pump();
    if (!app_.DriverPresent()) {
        ReturnWaitWithoutDriver();
        return;
    }
    for (int cycle = 0; cycle < kReturnCycles; ++cycle) {
        if (link_.ProbeBootMode()) {
            clock_.Sleep(kWaitCycleMs);
        } else {
            if (app_.ProbeAppMode() && CompletionTest()) {
                Complete(text::kCaptionCompleted);
                return;
            }
            clock_.Sleep(kWaitCycleMs);
        }
        form_.Pump();
    }
    FailRun();
}

void UpdateSequence::ReturnWaitWithoutDriver() {
    int gone = 0;  // consecutive cycles without a boot loader
    for (int cycle = 0; cycle < kReturnCycles; ++cycle) {
        if (link_.ProbeBootMode()) {
            gone = 0;  // still there, or back: the reset did not start the application
        } else if (++gone >= kGoneCyclesForCompletion && reset_accepted_) {
            form_.AppendLog(logtext::kVersionNotReadHere);
            Complete(text::kCaptionCompleted);
            return;
        }
        clock_.Sleep(kWaitCycleMs);
        form_.Pump();
    }
    FailRun();
}

bool UpdateSequence::CompletionTest() const {
    const DeviceCensus& census = app_.census();
    if (!return_awaited_) return false;
    // A unit whose version could not be read is not known to be current, whatever the census
    // counts it as. No boot loader left means none seen at all: more of them than expected
    // are still there, though the search offers none to work with.
    return census.app_device_count == most_units_at_a_reset_ && census.outdated_count == 0 &&
           link_.boot_loaders_seen() == 0 && census.AllReadAndAtLeast(app_.image_version());
}

void UpdateSequence::SetBusy(bool busy) {
    busy_ = busy;
    form_.SetBusy(busy);
}

void UpdateSequence::FailRun() {
    ++failed_run_count_;
    form_.ShowMessage(text::kMessageRunFailed);
    form_.SetStartEnabled(true);
    SetBusy(false);
}

void UpdateSequence::Complete(std::string_view caption) {
    form_.ShowStatus({std::string(caption), color::kGreen, color::kWhite, true});
    form_.SetStartEnabled(false);
    form_.SetForceEnabled(false);
    form_.ShowMessage(text::kMessageCompleted);
    state_ = UpdateState::kIdle;
    SetBusy(false);
    completed_ = true;
}

}  // namespace qvt
