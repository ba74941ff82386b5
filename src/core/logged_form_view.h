#pragma once

#include "form_view.h"
#include "log_record.h"
#include "transcript_lines.h"

namespace qvt {

// The platform's view, with every change it is told also written to the log record, in the
// transcript's lines.
class LoggedFormView final : public FormView {
  public:
    LoggedFormView(FormView& view, LogRecord& record)
        : view_(view), lines_([&record](const std::string& line) { record.Add(line); }) {}

    void SetMessage(std::string_view text) override {
        lines_.Message(text);
        view_.SetMessage(text);
    }
    void SetStatus(const StatusPanel& status) override {
        lines_.Status(status);
        view_.SetStatus(status);
    }
    void AppendLog(std::string_view line) override {
        lines_.Log(line);
        view_.AppendLog(line);
    }
    void SetProgress(int position, int maximum) override {
        lines_.Progress(position, maximum);
        view_.SetProgress(position, maximum);
    }
    void SetBarColor(std::uint32_t color) override { view_.SetBarColor(color); }
    void SetStartEnabled(bool enabled) override {
        lines_.Start(enabled);
        view_.SetStartEnabled(enabled);
    }
    void SetForceBox(bool enabled, bool checked) override {
        lines_.Force(enabled, checked);
        view_.SetForceBox(enabled, checked);
    }
    void ShowModalBox(std::string_view text) override {
        lines_.Box(text);
        view_.ShowModalBox(text);
    }
    void SetBusy(bool busy) override { view_.SetBusy(busy); }
    void ShowNotice(std::string_view line) override { view_.ShowNotice(line); }
    void Pump() override { view_.Pump(); }

  private:
    FormView& view_;
    TranscriptLines lines_;
};

}  // namespace qvt
