#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "clock.h"
#include "log_record.h"
#include "phase_times.h"
#include "progress_port.h"
#include "startup_rows.h"
#include "transcript_lines.h"
#include "window_layout.h"
#include "window_view.h"

namespace qvt {

// The window as the core knows it: what its controls show, the display conventions (message,
// status, log line) and the bar's rules. Every change goes to the platform's view and, in the
// transcript's lines, to the session's record; the logic reads back what it showed (the bar's
// maximum, the force box) from here, on every platform alike.
//
// A pump, here as on the view, may deliver a click of Start or a close request in the middle of
// whatever called it: the run guards itself with its busy flag, the window with the disabled
// controls.
class WindowModel final : public ProgressPort {
  public:
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

    // `clock`, when given, times the run's phases (BeginPhase).
    WindowModel(WindowView& view, LogRecord& record, const Clock* clock = nullptr)
        : view_(view),
          clock_(clock),
          lines_([&record](const std::string& line) { record.Add(line); }) {}
    WindowModel(const WindowModel&) = delete;
    WindowModel& operator=(const WindowModel&) = delete;

    const Controls& controls() const { return controls_; }

    // The display conventions. A message replaces the whole text; a status sets the panel,
    // which hides the bar while shown; a log line is appended to the hidden memo.
    void ShowMessage(std::string_view text) override;
    void ShowStatus(const StatusPanel& status);
    void HideStatus();
    void AppendLog(std::string_view line) override;
    // A row of the start-up check: status, message, Start and the force box.
    void ShowRow(const StartupRow& row);
    void EnableStart(bool enabled);
    void EnableForce(bool enabled);
    // The person's own tick of the force box, as the platform reports it.
    void CheckForce(bool checked);
    void ShowBarColor(std::uint32_t color);

    // The bar's rules: back to 0 of 13 as a run begins and when the start-up check finds an
    // update to do; one step up for each step of a procedure (never lowered within a run); the
    // maximum raised by the steps a failed procedure skips. A reset and a step end with a pump.
    void ResetBar();
    void AdvanceProgress() override;
    void RaiseBarMaximum(int by);

    void ShowModalBox(std::string_view text);
    void SetBusy(bool busy) { view_.SetBusy(busy); }
    void ShowNotice(std::string_view line) { view_.ShowNotice(line); }
    // A timed phase of a run begins, or the run's last one has ended. While one lasts, a pump
    // that finds another whole second passed shows how long it has taken so far; its end is
    // shown as a clock of no phase, so that a view that shows the time stops claiming a wait.
    void BeginPhase(Phase phase, const PhaseTimes& times);
    void EndPhase();
    void Pump() override;

  private:
    void ShowProgress();
    void ShowForceBox();

    struct Timed {
        Phase phase;
        PhaseTimes times;
        std::uint64_t began_ms;
        std::uint64_t shown_seconds = 0;
    };

    WindowView& view_;
    const Clock* clock_;
    std::optional<Timed> timed_;
    TranscriptLines lines_;
    Controls controls_;
};

}  // namespace qvt
