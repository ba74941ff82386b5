#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "firmware_layout.h"
#include "form_view.h"

namespace qvt {

inline constexpr int kProgressInitialMax = 13;

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

// The main window's fields and the three ways the system shows text. Every write goes to the
// platform view as well as to the kept copy.
class Window {
  public:
    explicit Window(FormView& view) : view_(view) {}

    std::int32_t UpdateState = 0;
    bool busy = false;
    FirmwareImage firmware;

    const Controls& controls() const { return controls_; }

    void ShowMessage(std::string_view text);
    void ShowStatus(const StatusPanel& status);
    void HideStatus();
    void AppendLog(std::string_view line);
    void SetStartEnabled(bool enabled);
    void SetForceEnabled(bool enabled);
    // The user's own tick of the force box, reported by the platform.
    void SetForceChecked(bool checked);
    void SetBarColor(std::uint32_t color);
    void RaiseProgressMaximum(int by);
    void ShowModalBox(std::string_view text) { view_.ShowModalBox(text); }
    void Pump() { view_.Pump(); }

    // Raises the bar by one while a step runs; at UpdateState 0 resets it to 0 of 13. Pumps.
    void AdvanceProgress();

  private:
    void PushProgress() {
        view_.SetProgress(controls_.progress_position, controls_.progress_maximum);
    }
    void PushForce() { view_.SetForceBox(controls_.force_enabled, controls_.force_checked); }

    FormView& view_;
    Controls controls_;
};

}  // namespace qvt
