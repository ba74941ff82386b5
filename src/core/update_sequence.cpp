#include "update_sequence.h"

#include <string>

#include "texts.h"

namespace qvt {
namespace {
constexpr std::uint32_t kWaitCycleMs = 1000;
}

void UpdateSequence::btnStartClick() {
    window_.busy = true;
    window_.SetStartEnabled(false);
    window_.SetForceEnabled(false);

    if (failed_run_count_ != 0) {
        // A restart: the unit may have come back current since the last run failed.
        app_.ProbeAppMode(window_);
        link_.ProbeBootMode(window_);
        if (CompletionTest()) {
            Complete(text::kCaptionCompletedOnRestart);
            return;
        }
    } else {
        snapshot_ = {link_.boot_loader_count(), app_.census().app_device_count};
    }

    window_.UpdateState = 0;
    window_.ShowMessage(text::kUpdateStart);
    window_.AdvanceProgress();
    window_.HideStatus();

    try {
        GuardedSteps();
    } catch (...) {
        window_.ShowMessage(text::kMessageRunFailed);
        window_.SetStartEnabled(true);
        ++failed_run_count_;
        window_.busy = false;
        window_.UpdateState = 0;
    }
}

void UpdateSequence::GuardedSteps() {
    window_.UpdateState = 2;
    window_.AdvanceProgress();
    const bool force = window_.controls().force_checked;
    if (app_.census().outdated_count != 0 || (force && link_.boot_loader_count() == 0)) {
        app_.RequestBootMode(window_);
        clock_.Sleep(500);
    }

    bool found = false;
    for (int attempt = 0; attempt < kBootModeTries && !found; ++attempt) {
        if (link_.ProbeBootMode(window_)) {
            window_.AppendLog(std::string(logtext::kBootFoundAtTry) + std::to_string(attempt));
            found = true;
        } else {
            clock_.Sleep(kWaitCycleMs);
            window_.Pump();
        }
    }
    if (!found) {
        window_.AppendLog(logtext::kBootNeverFound);
        window_.UpdateState = 0;
        FailRun();
        return;
    }
    window_.ShowMessage(text::kBootSwitchDone);
    window_.AdvanceProgress();
    clock_.Sleep(kWaitCycleMs);

    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (window_.UpdateState == 2) {
            if (!protocol_.EraseDevice(window_)) {
                window_.AppendLog(logtext::kEraseStepFailed);
                window_.UpdateState = 2;
                window_.RaiseProgressMaximum(1);
            }
            window_.Pump();
        }
        if (window_.UpdateState == 3) {
            if (!protocol_.BlankCheck(window_)) {
                window_.AppendLog(logtext::kBlankStepFailed);
                window_.UpdateState = 2;
                window_.RaiseProgressMaximum(3);
            }
            window_.Pump();
        }
        if (window_.UpdateState == 4 || window_.UpdateState == 5) {
            if (protocol_.ProgramVerify(window_)) break;
            window_.AppendLog(logtext::kProgramStepFailed);
            window_.UpdateState = 2;
            window_.RaiseProgressMaximum(6);
            window_.Pump();
        }
    }

    if (window_.UpdateState == 6) {
        // A reset reported as failed goes on to the return wait: the unit may have reset anyway.
        if (!protocol_.ResetDevice(window_)) {
            window_.AppendLog(logtext::kResetStepFailed);
            window_.UpdateState = 7;
        }
        window_.Pump();
    }
    if (window_.UpdateState != 7) {
        FailRun();
        return;
    }

    window_.UpdateState = 0;
    window_.ShowMessage(text::kVersionCheckStart);
    window_.Pump();
    for (int cycle = 0; cycle < kReturnCycles; ++cycle) {
        if (link_.ProbeBootMode(window_)) {
            clock_.Sleep(kWaitCycleMs);
        } else {
            if (app_.ProbeAppMode(window_) && CompletionTest()) {
                Complete(text::kCaptionCompleted);
                return;
            }
            clock_.Sleep(kWaitCycleMs);
        }
        window_.Pump();
    }
    FailRun();
}

bool UpdateSequence::CompletionTest() const {
    const DeviceCensus& census = app_.census();
    return snapshot_.boot_loader_count + snapshot_.app_device_count == census.app_device_count &&
           census.outdated_count == 0 && link_.boot_loader_count() == 0;
}

void UpdateSequence::FailRun() {
    ++failed_run_count_;
    window_.ShowMessage(text::kMessageRunFailed);
    window_.SetStartEnabled(true);
    window_.busy = false;
}

void UpdateSequence::Complete(std::string_view caption) {
    window_.ShowStatus({std::string(caption), color::kGreen, color::kWhite, true});
    window_.SetStartEnabled(false);
    window_.SetForceEnabled(false);
    window_.ShowMessage(text::kMessageCompleted);
    window_.UpdateState = 0;
    window_.busy = false;
    completed_ = true;
}

}  // namespace qvt
