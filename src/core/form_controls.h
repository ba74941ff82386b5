#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "form_display.h"
#include "form_layout.h"
#include "form_view.h"
#include "startup_rows.h"
#include "update_state.h"

namespace qvt {

// What the controls currently show, kept by the core so that the update logic can read back
// what it wrote (the bar's maximum, the force box) on every platform alike.
struct Controls {
    std::string message;
    StatusPanel status;
    std::vector<std::string> log;
    int progress_position = 0;
    int progress_maximum = kProgressInitialMax;
    std::uint32_t bar_color = 0;
    bool start_enabled = true;
    bool force_enabled = true;
    bool force_checked = false;
};

// The window's controls and the three ways the system shows text (message, status, log line).
// Every write goes to the platform view as well as to the kept copy.
class FormControls {
  public:
    explicit FormControls(FormView& view) : view_(view) {}

    const Controls& controls() const { return controls_; }

    void ShowMessage(std::string_view text);
    void ShowStatus(const StatusPanel& status);
    void HideStatus();
    // A row of the start-up check: status, message, Start and the force box.
    void ShowRow(const StartupRow& row);
    void AppendLog(std::string_view line);
    void SetStartEnabled(bool enabled);
    void SetForceEnabled(bool enabled);
    // The user's own tick of the force box, reported by the platform.
    void SetForceChecked(bool checked);
    void SetBarColor(std::uint32_t color);
    void RaiseProgressMaximum(int by);
    void ShowModalBox(std::string_view text) { view_.ShowModalBox(text); }
    void SetBusy(bool busy) { view_.SetBusy(busy); }
    void ShowNotice(std::string_view line) { view_.ShowNotice(line); }
    void Pump() { view_.Pump(); }

    // While a step of a procedure runs the bar rises by one; whenever the phase's UpdateState
    // is idle it goes back to 0 of 13. Then a pump.
    void AdvanceProgress(Phase phase);

  private:
    void PushProgress() {
        view_.SetProgress(controls_.progress_position, controls_.progress_maximum);
    }
    void PushForce() { view_.SetForceBox(controls_.force_enabled, controls_.force_checked); }

    FormView& view_;
    Controls controls_;
};

// The controls as a step of the run sees them: its bar steps follow the run's phase.
class PhaseFormDisplay final : public FormDisplay {
  public:
    PhaseFormDisplay(FormControls& controls, const Phase& phase)
        : controls_(controls), phase_(phase) {}
    void ShowMessage(std::string_view text) override { controls_.ShowMessage(text); }
    void AppendLog(std::string_view line) override { controls_.AppendLog(line); }
    void AdvanceProgress() override { controls_.AdvanceProgress(phase_); }
    void Pump() override { controls_.Pump(); }

  private:
    FormControls& controls_;
    const Phase& phase_;
};

}  // namespace qvt
