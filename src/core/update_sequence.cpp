#include "update_sequence.h"

#include <string>

#include "phase_times.h"
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

UpdateSequence::UpdateSequence(WindowModel& model, AppModeUnits& app, BootLoaderLink& link,
                               BootProtocol& protocol, Clock& clock, AwakeHold* awake)
    : model_(model), app_(app), link_(link), protocol_(protocol), clock_(clock), awake_(awake) {
    protocol_.WhileWaiting([this] { return UnitBack(); });
}

RunOutcome UpdateSequence::btnStartClick(std::int32_t expected_boot_loaders) {
    // Only a click on an enabled Start begins a run: one that arrives while a run is on, or
    // while the start-up check or a completion left Start disabled (a key the dialog manager
    // turned into a click, a message posted by another program), starts nothing.
    if (busy_) return {RunOutcome::Kind::kRefused, phase_, FailureCause::kNone, Refusal::kBusy};
    if (!model_.controls().start_enabled) {
        return {RunOutcome::Kind::kRefused, phase_, FailureCause::kNone, Refusal::kStartDisabled};
    }
    SetBusy(true);
    expected_ = expected_boot_loaders;
    last_run_.reset();
    failed_attempts_ = 0;
    carried_cause_ = found_cause_ = FailureCause::kNone;
    told_unread_ = false;
    departures_.clear();
    if (failed_run_count_ == 0) {
        custody_.start = {link_.boot_loader_count(), app_.census().app_device_count};
    }
    model_.EnableStart(false);
    model_.EnableForce(false);
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
            model_.AppendLog(logtext::kNoAwakeHold);
        }
        RunPhases();
    }
    ShowEnding();
    last_run_ = outcome_;
    return outcome_;
}

void UpdateSequence::RunPhases() {
    try {
        while (!Ended(phase_)) {
            if (TimedPhase(phase_)) {
                model_.BeginPhase(phase_, TimesOf(phase_, expected_, app_.DriverPresent()));
            }
            Transition(RunPhase(phase_));
        }
    } catch (...) {
        outcome_ = Failed(phase_, FailureCause::kException);
        phase_ = RowOf(phase_).on_exception;
    }
    model_.EndPhase();
}

void UpdateSequence::ForgetUnit() {
    failed_run_count_ = 0;
    last_run_.reset();
    custody_ = Custody{};
    phase_ = Phase::kIdle;
}

void UpdateSequence::NoteDeparture() {
    // A boot loader that was not there at the first search, then was: the unit had left.
    const auto discovery = protocol_.last_discovery();
    if ((discovery == BootProtocol::Discovery::kFound && protocol_.last_searches() > 0) ||
        discovery == BootProtocol::Discovery::kAbandoned) {
        departures_.push_back(phase_);
    }
}

UpdateSequence::Step UpdateSequence::StepOf(bool succeeded) const {
    if (succeeded) return Step::kSucceeded;
    switch (protocol_.last_discovery()) {
        case BootProtocol::Discovery::kSeveral:
            return Step::kSeveral;
        case BootProtocol::Discovery::kAbandoned:
            return Step::kUnitBack;
        default:
            return Step::kFailed;
    }
}

UpdateSequence::Step UpdateSequence::RunPhase(Phase phase) {
    switch (phase) {
        case Phase::kRestartCheck:
            return RestartCheck();
        case Phase::kPreparing:
            Prepare();
            return Step::kSucceeded;
        case Phase::kBootSwitch:
            return BootSwitch();
        case Phase::kErase: {
            const bool erased = protocol_.EraseDevice(expected_);
            NoteDeparture();
            // An erase that reached a boot loader may have wiped whatever was programmed before.
            if (protocol_.last_discovery() == BootProtocol::Discovery::kFound) {
                custody_.flash = Flash::kErased;
            }
            return StepOf(erased);
        }
        case Phase::kBlankCheck: {
            const bool blank = protocol_.BlankCheck(expected_);
            NoteDeparture();
            return StepOf(blank);
        }
        case Phase::kProgram:
            return Program();
        case Phase::kVerify:
            return Verify();
        case Phase::kReset:
            return Reset();
        case Phase::kReturnWait:
            return ReturnWait();
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
        outcome_ = {RunOutcome::Kind::kRefused, phase_, FailureCause::kNone, refusal_};
        next = row.on_nothing_to_update;
    } else if (step == Step::kSeveral) {
        outcome_ = Failed(phase_, FailureCause::kSeveralUnits);
        next = Phase::kFailed;
    } else if (step == Step::kFailed) {
        next = row.on_failure;
        if (!row.failure_log.empty()) model_.AppendLog(row.failure_log);
        if (row.bar_raise_on_failure != 0) model_.RaiseBarMaximum(row.bar_raise_on_failure);
        if (row.attempt && ++failed_attempts_ == kAttempts) next = Phase::kFailed;
        if (next == Phase::kFailed) {
            const FailureCause cause = found_cause_ != FailureCause::kNone     ? found_cause_
                                       : carried_cause_ != FailureCause::kNone ? carried_cause_
                                                                               : row.cause;
            outcome_ = Failed(phase_, cause);
        } else if (!row.attempt) {
            carried_cause_ = row.cause;
        }
    } else {
        if (step == Step::kUnitBack) next = Phase::kCompleted;
        if (next == Phase::kCompleted) {
            outcome_ = {RunOutcome::Kind::kCompleted, phase_, FailureCause::kNone, Refusal::kNone,
                        verdict_.reason};
        }
    }
    if (row.pump_after) model_.Pump();
    phase_ = next;
}

void UpdateSequence::ShowEnding() {
    switch (phase_) {
        case Phase::kCompleted:
            Complete();
            break;
        case Phase::kRefused:
            model_.ShowRow(outcome_.refusal == Refusal::kVersionUnread ? kRowVersionUnread
                                                                       : kRowCurrent);
            SetBusy(false);
            break;
        default:
            FailRun();
            break;
    }
}

BenchLook UpdateSequence::Look(bool count_app) {
    BenchLook look;
    look.driver = app_.DriverPresent();
    look.boot_loaders = link_.boot_loaders_seen();
    look.app_counted = count_app;
    if (count_app) {
        look.app = app_.census().versions;
        const bool unread = std::any_of(look.app.begin(), look.app.end(),
                                        [](const VersionReading& reading) { return !reading; });
        if (unread && !told_unread_) {
            told_unread_ = true;
            model_.AppendLog(logtext::kVersionUnread);
        }
    }
    custody_.Saw(look);
    return look;
}

Verdict UpdateSequence::JudgeNow(const BenchLook& look, Occasion occasion) const {
    const bool request_due =
        app_.BootModeRequestDue(model_.controls().force_checked, link_.boot_loader_count());
    return Judge(custody_, look, occasion, app_.image_version(), clock_.NowMs(), request_due);
}

UpdateSequence::Step UpdateSequence::RestartCheck() {
    app_.ProbeAppMode();
    link_.ProbeBootMode(expected_);
    verdict_ = JudgeNow(Look(true), Occasion::kRestartCheck);
    switch (verdict_.kind) {
        case Verdict::Kind::kCompleted:
            return Step::kSucceeded;
        // One unit this program did not flash, and no request would go out: the boot switch
        // would wait its 200 searches for a boot loader that nothing brings. The click ends as
        // the start-up check would have begun with this unit, the force box offered.
        case Verdict::Kind::kCurrent:
            refusal_ = Refusal::kNothingToUpdate;
            return Step::kNothingToUpdate;
        case Verdict::Kind::kVersionUnread:
            refusal_ = Refusal::kVersionUnread;
            return Step::kNothingToUpdate;
        default:
            return Step::kFailed;
    }
}

void UpdateSequence::Prepare() {
    model_.ShowMessage(text::kUpdateStart);
    model_.ResetBar();
    model_.HideStatus();
}

bool UpdateSequence::UnitBack() {
    if (!custody_.Pending() || !app_.DriverPresent()) return false;
    app_.ProbeAppMode();
    verdict_ = JudgeNow(Look(true), Occasion::kBootLoaderWait);
    return verdict_.kind == Verdict::Kind::kCompleted;
}

void UpdateSequence::SetBusy(bool busy) {
    busy_ = busy;
    model_.SetBusy(busy);
}

void UpdateSequence::FailRun() {
    ++failed_run_count_;
    // A run that failed on several units says so: taking the others away is what helps.
    model_.ShowMessage(outcome_.cause == FailureCause::kSeveralUnits ? text::kMessageSeveral
                                                                     : text::kMessageRunFailed);
    model_.EnableStart(true);
    SetBusy(false);
}

void UpdateSequence::Complete() {
    // A return that was not read back is not shown as one that was.
    const bool confirmed = ReturnConfirmed(outcome_.reason);
    std::string_view caption = text::kCaptionCompletedUnconfirmed;
    if (confirmed) {
        caption = outcome_.phase == Phase::kRestartCheck ? text::kCaptionCompletedOnRestart
                                                         : text::kCaptionCompleted;
    }
    model_.ShowStatus({std::string(caption), color::kGreen, color::kWhite, true});
    model_.EnableStart(false);
    model_.EnableForce(false);
    model_.ShowMessage(confirmed ? text::kMessageCompleted : text::kMessageCompletedUnconfirmed);
    SetBusy(false);
}

}  // namespace qvt
