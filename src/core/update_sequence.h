#pragma once

#include <cstdint>
#include <optional>

#include "app_device.h"
#include "awake_hold.h"
#include "boot_loader_link.h"
#include "boot_protocol.h"
#include "clock.h"
#include "form_model.h"
#include "run_phase.h"
#include "update_state.h"

namespace qvt {

inline constexpr int kReturnCycles = 200;
inline constexpr std::uint32_t kWaitCycleMs = 1000;
inline constexpr std::uint32_t kAfterBootRequestMs = 500;
// Without an application-mode driver: cycles without a boot loader that confirm the return.
inline constexpr int kGoneCyclesForCompletion = 3;

// The Start button's run: the boot-mode switch, up to three attempts of the boot-loader
// procedures, the reset and the wait for the unit to come back current. It owns the run's
// phase, does each phase's work, and makes every transition by the machine's table
// (PhaseTable()); the screen a run ends on is set in one place.
class UpdateSequence {
  public:
    UpdateSequence(FormModel& form, AppModeUnits& app, BootLoaderLink& link, BootProtocol& protocol,
                   Clock& clock, AwakeHold* awake = nullptr)
        : form_(form), app_(app), link_(link), protocol_(protocol), clock_(clock), awake_(awake) {}

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
    // A station's next unit: nothing of the unit before it (its runs, its resets) counts for
    // this one.
    void ForgetUnit();

  private:
    // What the work of one phase came to.
    enum class Step : std::uint8_t { kSucceeded, kFailed, kNothingToUpdate };

    // Runs the phases until the run has completed, failed or found nothing to update.
    void RunPhases();
    Step RunPhase(Phase phase);
    // Moves on from the phase that just ran, by its row of the table.
    void Transition(Step step);
    // The screen the run ends on: the completion, the failure, or the start-up check's row for
    // a current unit.
    void ShowEnding();
    void Prepare();
    Step RestartCheck();
    bool BootSwitch();
    bool Reset();
    bool ReturnWait();
    // Where the unit cannot be seen in application mode, its return is told by its boot
    // loader's absence after a verified programming and an accepted reset.
    bool ReturnWaitWithoutDriver();
    // Once a reset has reached boot loaders in a run that got as far as erasing: as many units
    // in application mode as were ever counted at a reset. Otherwise, once this program has
    // programmed the unit to its end: as many as at the first Start, and no fewer than were
    // counted as the programming ended or at any reset. Either way each tells a version no
    // older than the image's, and no boot loader is left.
    bool CompletionTest() const;
    void SetBusy(bool busy);
    void FailRun();
    void Complete(std::string_view caption);

    FormModel& form_;
    AppModeUnits& app_;
    BootLoaderLink& link_;
    BootProtocol& protocol_;
    Clock& clock_;
    AwakeHold* awake_;
    bool told_no_awake_hold_ = false;  // the log says it once a session
    Phase phase_ = Phase::kIdle;
    std::int32_t expected_ = 0;  // the boot loaders this run's searches expect
    bool busy_ = false;
    std::int32_t failed_run_count_ = 0;
    std::optional<RunOutcome> last_run_;
    int failed_attempts_ = 0;  // of this run
    // The cause a failure that went on left for the end of this run (a refused reset's).
    FailureCause carried_cause_ = FailureCause::kNone;
    RunOutcome outcome_;  // what the run's last phase came to, set as it ends
    // The units counted at a reset: the boot loaders found for it will come back, the units in
    // application mode the moment it went out were there already. Counted at every reset of
    // the process, the most of them is what a completion needs back: a unit plugged in
    // meanwhile cannot stand in for the updated one, nor a unit reset in an earlier run, still
    // on its way back, for one reset later.
    std::int32_t most_units_at_a_reset_ = 0;
    bool return_awaited_ = false;  // this run's reset reached boot loaders; none before it
    bool reset_accepted_ = false;
    // The units on the bench at the first Start, in either mode: the ones a run expects back.
    std::int32_t units_at_start_ = 0;
    // A programming has sent the whole image and its end, and no erase has reached a boot loader
    // since: a unit that comes back current without a reset this program saw is the one it
    // flashed (a unit that restarted before the reset reached it, or was plugged back).
    bool programmed_ = false;
    // Counted as that programming ended, as at a reset: the boot loaders it programmed and the
    // units already in application mode, so that one plugged in meanwhile cannot stand in.
    std::int32_t units_at_programming_end_ = 0;
};

}  // namespace qvt
