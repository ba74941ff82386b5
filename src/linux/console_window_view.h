#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

#include "check_report.h"
#include "clock.h"
#include "json_events.h"
#include "signal_watch.h"
#include "transcript_lines.h"
#include "window_view.h"
#include "write_watch.h"

namespace qvt::linux_app {

// The window as the lines of its transcript, on standard output as they happen. Diagnostics
// about the machine go to the error stream. An output that stops taking lines (closed, full)
// is told there, and the run goes on to its outcome.
// Can: show every change of a control as a line (or a JSON event), answer a modal box with OK
// at once, take close requests from signals at each pump, hold off job control while busy.
// Cannot: show the bar's colour (it has none to show: the line format leaves it out), or wait
// for a person to answer a box.
class ConsoleWindowView final : public WindowView {
  public:
    // With `json`, every change is a JSON Lines event stamped by `clock` instead of a line of
    // the transcript; `json` gives each timed phase as it begins, `progress_lines` a line a second
    // during it.
    ConsoleWindowView(std::ostream& out, std::ostream& errors, const Clock& clock,
                      bool json = false, bool progress_lines = false);

    void ShowMessage(std::string_view text) override { lines_.Message(text); }
    void ShowStatus(const StatusPanel& status) override { lines_.Status(status); }
    void AppendLog(std::string_view line) override { lines_.Log(line); }
    void ShowProgress(int position, int maximum) override { lines_.Progress(position, maximum); }
    void ShowBarColor(std::uint32_t) override {}
    void EnableStart(bool enabled) override { lines_.Start(enabled); }
    void ShowForceBox(bool enabled, bool checked) override { lines_.Force(enabled, checked); }
    void ShowModalBox(std::string_view text) override;
    void SetBusy(bool busy) override {
        busy_ = busy;
        job_control_.Hold(busy);
    }
    void ShowNotice(std::string_view line) override;
    void ShowPhaseTime(const PhaseClock& clock) override;
    void Pump() override;

    // What else a pump attends to, as a window's queue would: close requests from signals.
    void SetPumpHook(std::function<void()> hook) { pump_hook_ = std::move(hook); }
    bool busy() const { return busy_; }
    // The last lines out, and a word on the error stream if the transcript lost any.
    void Finish();
    // What a click of Start came to: an event of its own in JSON; the transcript shows it in
    // its other lines already.
    void ShowOutcome(const RunOutcome& outcome);
    // A station's record of one unit and its summary, in either format.
    void ShowRecord(const UnitRecord& record);
    void ShowSummary(const StationSummary& summary);
    // What --check found, in either format.
    void ShowCheck(const CheckReport& report);

  private:
    std::uint64_t Now() const { return clock_.NowMs() - origin_; }
    void Write(const std::string& line);

    const Clock& clock_;
    const std::uint64_t origin_;
    const bool json_;
    const bool progress_lines_;
    std::ostream& out_;
    std::ostream& errors_;
    TranscriptLines lines_;
    WriteWatch watch_;
    bool busy_ = false;
    JobControlHold job_control_;
    std::function<void()> pump_hook_;
};

}  // namespace qvt::linux_app
