#pragma once

#include <cstdint>
#include <string_view>

#include "app_device.h"
#include "boot_loader_link.h"
#include "boot_protocol.h"
#include "clock.h"
#include "form_controls.h"
#include "update_state.h"

namespace qvt {

inline constexpr int kBootModeTries = 200;
inline constexpr int kReturnCycles = 200;
inline constexpr int kAttempts = 3;
inline constexpr std::uint32_t kWaitCycleMs = 1000;
inline constexpr std::uint32_t kAfterBootRequestMs = 500;
// Without an application-mode driver: cycles without a boot loader that confirm the return.
inline constexpr int kGoneCyclesForCompletion = 3;

// The Start button's run: boot-mode switch, up to three attempts of the boot-loader
// procedures, the reset and the wait for the unit to come back current. It owns the run's
// state, and every transition of UpdateState is made here.
class UpdateSequence {
  public:
    UpdateSequence(FormControls& form, AppDevice& app, BootLoaderLink& link, BootProtocol& protocol,
                   Clock& clock)
        : form_(form), app_(app), link_(link), protocol_(protocol), clock_(clock) {}

    void btnStartClick();

    UpdateState update_state() const { return state_; }
    // Set for the whole of a run; the window refuses to close meanwhile.
    bool busy() const { return busy_; }
    std::int32_t FailedRunCount() const { return failed_run_count_; }
    // True when the last run reported completion (either way); nothing enables Start after it.
    bool completed() const { return completed_; }

  private:
    void GuardedSteps();  // steps that the run's one exception handler covers
    bool SwitchToBootMode();
    void Attempts();
    // After a failed procedure: its log line, back to the boot-mode switch so that the next
    // attempt starts with the erase, and the bar's maximum raised by the steps it skipped.
    void StepFailed(std::string_view line, int raise);
    void Reset();
    void ReturnWait();
    // Where the unit cannot be seen in application mode, its return is told by its boot
    // loader's absence after a verified programming and an accepted reset.
    void ReturnWaitWithoutDriver();
    // Once a reset has reached boot loaders in a run that got as far as erasing: as many units
    // in application mode as were ever counted at a reset, each telling a version no older than
    // the image's, and no boot loader left.
    bool CompletionTest() const;
    void SetBusy(bool busy);
    void FailRun();
    void Complete(std::string_view caption);

    FormControls& form_;
    AppDevice& app_;
    BootLoaderLink& link_;
    BootProtocol& protocol_;
    Clock& clock_;
    UpdateState state_ = UpdateState::kIdle;
    FormStepDisplay display_{form_, state_};
    bool busy_ = false;
    std::int32_t failed_run_count_ = 0;
    bool completed_ = false;
    // The units counted at a reset: the boot loaders found for it will come back, the units in
    // application mode the moment it went out were there already. Counted at every reset of
    // the process, the most of them is what a completion needs back: a unit plugged in
    // meanwhile cannot stand in for the updated one, nor a unit reset in an earlier run, still
    // on its way back, for one reset later.
    std::int32_t most_units_at_a_reset_ = 0;
    bool return_awaited_ = false;  // this run's reset reached boot loaders; none before it
    bool reset_accepted_ = false;
};

}  // namespace qvt
