#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "form_layout.h"
#include "form_view.h"

namespace qvt::linux_app {

// The window as lines of text: every change of a control, one line each, as it happens.
class ConsoleFormView final : public FormView {
  public:
    explicit ConsoleFormView(std::ostream& out, std::ostream& errors)
        : out_(out), errors_(errors) {}

    void SetMessage(std::string_view text) override;
    void SetStatus(const StatusPanel& status) override;
    void AppendLog(std::string_view line) override;
    void SetProgress(int position, int maximum) override;
    void SetBarColor(std::uint32_t) override {}
    void SetStartEnabled(bool enabled) override;
    void SetForceBox(bool enabled, bool checked) override;
    void ShowModalBox(std::string_view text) override;
    void SetBusy(bool busy) override { busy_ = busy; }
    bool busy() const { return busy_; }
    void Pump() override { out_.flush(); }

  private:
    void Emit(std::string& last, std::string line);

    std::ostream& out_;
    std::ostream& errors_;
    bool busy_ = false;
    // The last line of each kind, so that only changes are printed; they start from the
    // window's state at creation.
    std::string message_ = "message: ";
    std::string status_ = "status: hidden fg=0x00008000 bg=0x8000000F caption=";
    std::string progress_ = "progress: 0/" + std::to_string(kProgressInitialMax);
    std::string start_ = "start: enabled";
    std::string force_ = "force: enabled unchecked";
};

}  // namespace qvt::linux_app
