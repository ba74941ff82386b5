#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

#include "form_layout.h"
#include "form_view.h"

namespace qvt::linux_app {

// The window as lines of text: first every control's state at creation, then every change of
// a control, one line each, as it happens. Diagnostics about the machine go to the error
// stream. A closed output is ignored: the run goes on to its outcome.
class ConsoleFormView final : public FormView {
  public:
    ConsoleFormView(std::ostream& out, std::ostream& errors);

    void SetMessage(std::string_view text) override;
    void SetStatus(const StatusPanel& status) override;
    void AppendLog(std::string_view line) override;
    void SetProgress(int position, int maximum) override;
    void SetBarColor(std::uint32_t) override {}
    void SetStartEnabled(bool enabled) override;
    void SetForceBox(bool enabled, bool checked) override;
    void ShowModalBox(std::string_view text) override;
    void SetBusy(bool busy) override { busy_ = busy; }
    void ShowNotice(std::string_view line) override;
    void Pump() override;

    // What else a pump attends to, as a window's queue would: close requests from signals.
    void SetPumpHook(std::function<void()> hook) { pump_hook_ = std::move(hook); }
    bool busy() const { return busy_; }

  private:
    void Emit(std::string& last, std::string line);
    void Print(const std::string& line);

    std::ostream& out_;
    std::ostream& errors_;
    bool busy_ = false;
    std::function<void()> pump_hook_;
    // The last line of each kind, so that only changes are printed.
    std::string message_;
    std::string status_;
    std::string progress_;
    std::string start_;
    std::string force_;
};

}  // namespace qvt::linux_app
