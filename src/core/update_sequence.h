#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "app_device.h"
#include "awake_hold.h"
#include "boot_loader_link.h"
#include "boot_protocol.h"
#include "clock.h"
#include "custody.h"
#include "run_phase.h"
#include "update_state.h"
#include "window_model.h"

namespace qvt {

inline constexpr int kReturnCycles = 200;
inline constexpr std::uint32_t kWaitCycleMs = 1000;
inline constexpr std::uint32_t kAfterBootRequestMs = 500;
static_assert(kReturnCycles * std::uint64_t{kWaitCycleMs} == kReturnBoundMs);

// The Start button's run: the boot-mode switch, up to three attempts of the boot-loader
// procedures, the reset and the wait for the unit to come back current. It owns the run's
// phase, does each phase's work, and makes every transition by the machine's table
// (PhaseTable()); the screen a run ends on is set in one place. What the run knows about the
// units it flashed is one value, `Custody`; whether they are back is one function, `Judge`.
class UpdateSequence {
  public:
    UpdateSequence(WindowModel& model, AppModeUnits& app, BootLoaderLink& link,
                   BootProtocol& protocol, Clock& clock, AwakeHold* awake = nullptr);

    // A click of Start; `expected_boot_loaders` is what the window's logic expects every search
    // of this run to find (0: any number).
    RunOutcome btnStartClick(std::int32_t expected_boot_loaders);

    Phase phase() const { return phase_; }
    UpdateState update_state() const { return UpdateStateOf(phase_); }
    // Set for the whole of a run; the window refuses to close meanwhile.
    bool busy() const { return busy_; }
    std::int32_t FailedRunCount() const { return failed_run_count_; }
    // How the last run that started ended; none while no run has ended. A refused click
    // changes nothing here.
    const std::optional<RunOutcome>& last_run() const { return last_run_; }
    // True when the last run reported completion (either way); nothing enables Start after it.
    bool completed() const { return last_run_ && last_run_->completed(); }
    const Custody& custody() const { return custody_; }
    // What the completion rule last said: for a completed click, what it took for the unit back.
    const Verdict& last_verdict() const { return verdict_; }
    // The phases of the last click in which its unit had left the bench and a unit was found
    // again (a boot loader after a search that found none, or the flashed unit back): the
    // placement before each ended there.
    const std::vector<Phase>& departures() const { return departures_; }
    // A station's next unit: nothing of the unit before it (its runs, its flash, its reset)
    // counts for this one.
    void ForgetUnit();

  private:
    // What the work of one phase came to.
    enum class Step : std::uint8_t {
        kSucceeded,
        kFailed,
        kNothingToUpdate,
        kUnitBack,  // a search found no boot loader because the flashed unit is back, current
        kSeveral,   // a search saw more boot loaders than the run expects
    };

    // Runs the phases until the run has completed, failed or found nothing to update.
    void RunPhases();
    Step RunPhase(Phase phase);
    // A procedure's result, with how its wait for a boot loader ended.
    Step StepOf(bool succeeded) const;
    // Notes a procedure whose boot loader had left the bench and was found again.
    void NoteDeparture();
    // Moves on from the phase that just ran, by its row of the table.
    void Transition(Step step);
    // The screen the run ends on: the completion, the failure, or the start-up check's row for
    // the one unit there.
    void ShowEnding();
    void Prepare();
    Step RestartCheck();
    Step BootSwitch();
    Step Program();
    Step Verify();
    Step Reset();
    Step ReturnWait();
    // The bench now: the driver's census when `count_app`, and the boot loaders of the last
    // search. Every look narrows what the custody's handover may take for other units.
    BenchLook Look(bool count_app);
    Verdict JudgeNow(const BenchLook& look, Occasion occasion) const;
    // Between two searches that found no boot loader: whether the flashed unit is back.
    bool UnitBack();
    void SetBusy(bool busy);
    void FailRun();
    void Complete();

    WindowModel& model_;
    AppModeUnits& app_;
    BootLoaderLink& link_;
    BootProtocol& protocol_;
    Clock& clock_;
    AwakeHold* awake_;
    bool told_no_awake_hold_ = false;  // the log says it once a session
    bool told_unread_ = false;         // an unread version is logged once a click
    Phase phase_ = Phase::kIdle;
    std::int32_t expected_ = 0;  // the boot loaders this run's searches expect
    bool busy_ = false;
    std::int32_t failed_run_count_ = 0;
    std::optional<RunOutcome> last_run_;
    int failed_attempts_ = 0;  // of this run
    // The cause a failure that went on left for the end of this run (a refused reset's).
    FailureCause carried_cause_ = FailureCause::kNone;
    // A cause the work of a phase found for itself (the return wait's, when it ends early).
    FailureCause found_cause_ = FailureCause::kNone;
    Refusal refusal_ = Refusal::kNone;  // why the restart check found nothing to update
    Verdict verdict_;                   // what ended the last phase in completion
    RunOutcome outcome_;                // what the run's last phase came to, set as it ends
    Custody custody_;
    std::vector<Phase> departures_;
};

}  // namespace qvt
