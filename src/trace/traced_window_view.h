#pragma once

#include <functional>

#include "window_view.h"

namespace qvt::trace {

// The front end's view, passed on call for call, that also tells when a run begins (Start was
// clicked and taken) and how the force box stood then: the one act of a person that a trace
// keeps, so that a window's session can be replayed click for click.
class TracedWindowView final : public WindowView {
  public:
    using RunBegins = std::function<void(bool force_checked)>;
    TracedWindowView(WindowView& view, RunBegins run_begins)
        : view_(view), run_begins_(std::move(run_begins)) {}

    void ShowMessage(std::string_view text) override { view_.ShowMessage(text); }
    void ShowStatus(const StatusPanel& status) override { view_.ShowStatus(status); }
    void AppendLog(std::string_view line) override { view_.AppendLog(line); }
    void ShowProgress(int position, int maximum) override { view_.ShowProgress(position, maximum); }
    void ShowBarColor(std::uint32_t color) override { view_.ShowBarColor(color); }
    void EnableStart(bool enabled) override { view_.EnableStart(enabled); }
    void ShowForceBox(bool enabled, bool checked) override {
        force_checked_ = checked;
        view_.ShowForceBox(enabled, checked);
    }
    void ShowModalBox(std::string_view text) override { view_.ShowModalBox(text); }
    void SetBusy(bool busy) override {
        if (busy) run_begins_(force_checked_);
        view_.SetBusy(busy);
    }
    void ShowNotice(std::string_view line) override { view_.ShowNotice(line); }
    void ShowPhaseTime(const PhaseClock& clock) override { view_.ShowPhaseTime(clock); }
    void Pump() override { view_.Pump(); }

  private:
    WindowView& view_;
    RunBegins run_begins_;
    bool force_checked_ = false;
};

}  // namespace qvt::trace
