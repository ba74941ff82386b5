#include "console_form_view.h"

namespace qvt::linux_app {

ConsoleFormView::ConsoleFormView(std::ostream& out, std::ostream& errors, const Clock& clock,
                                 bool json, bool progress)
    : clock_(clock),
      origin_(clock.NowMs()),
      json_(json),
      progress_(progress),
      out_(out),
      errors_(errors),
      lines_(TranscriptLines::EntrySink([this](const TranscriptEntry& entry) {
          Write(json_ ? JsonEntry(entry, Now()) : entry.line);
      })),
      watch_(errors, "the transcript") {
    watch_.Flush(out_);
}

void ConsoleFormView::Write(const std::string& line) {
    out_ << line << '\n';
}

void ConsoleFormView::ShowOutcome(const RunOutcome& outcome) {
    if (json_) Write(JsonOutcome(outcome, Now()));
    watch_.Flush(out_);
}

void ConsoleFormView::ShowPhaseTime(const PhaseClock& clock) {
    if (clock.phase.empty()) return;  // the run's last timed phase has ended
    if (json_ && clock.begins) {
        Write(JsonPhase(clock, Now()));
    } else if (progress_ && !json_ && !clock.begins) {
        Write(PhaseClockText(clock));
    } else {
        return;
    }
    watch_.Flush(out_);
}

void ConsoleFormView::ShowCheck(const CheckReport& report) {
    if (json_) {
        Write(JsonCheck(report, Now()));
    } else {
        for (const std::string& line : CheckLines(report)) Write(line);
    }
    watch_.Flush(out_);
}

void ConsoleFormView::ShowRecord(const UnitRecord& record) {
    Write(json_ ? JsonRecord(record, Now()) : RecordLine(record));
    watch_.Flush(out_);
}

void ConsoleFormView::ShowSummary(const StationSummary& summary) {
    Write(json_ ? JsonSummary(summary, Now()) : SummaryLine(summary));
    watch_.Flush(out_);
}

void ConsoleFormView::ShowModalBox(std::string_view text) {
    lines_.Box(text);
    watch_.Flush(out_);
}

void ConsoleFormView::Finish() {
    watch_.Flush(out_);
    watch_.Summarize();
}

void ConsoleFormView::ShowNotice(std::string_view line) {
    errors_ << "qvt-update: " << line << '\n';
    errors_.flush();
}

void ConsoleFormView::Pump() {
    watch_.Flush(out_);
    if (pump_hook_) pump_hook_();
}

}  // namespace qvt::linux_app
