#include "console_window_view.h"

namespace qvt::linux_app {

ConsoleWindowView::ConsoleWindowView(std::ostream& out, std::ostream& errors, const Clock& clock,
                                     bool json, bool progress_lines)
    : clock_(clock),
      origin_(clock.NowMs()),
      json_(json),
      progress_lines_(progress_lines),
      out_(out),
      errors_(errors),
      lines_(TranscriptLines::EntrySink([this](const TranscriptEntry& entry) {
          Write(json_ ? JsonEntry(entry, Now()) : entry.line);
      })),
      watch_(errors, "the transcript") {
    watch_.Flush(out_);
}

void ConsoleWindowView::Write(const std::string& line) {
    out_ << line << '\n';
}

void ConsoleWindowView::ShowOutcome(const RunOutcome& outcome) {
    if (json_) Write(JsonOutcome(outcome, Now()));
    watch_.Flush(out_);
}

void ConsoleWindowView::ShowPhaseTime(const PhaseClock& clock) {
    if (clock.phase.empty()) return;  // the run's last timed phase has ended
    if (json_ && clock.begins) {
        Write(JsonPhase(clock, Now()));
    } else if (progress_lines_ && !json_ && !clock.begins) {
        Write(PhaseClockText(clock));
    } else {
        return;
    }
    watch_.Flush(out_);
}

void ConsoleWindowView::ShowCheck(const CheckReport& report) {
    if (json_) {
        Write(JsonCheck(report, Now()));
    } else {
        for (const std::string& line : CheckLines(report)) Write(line);
    }
    watch_.Flush(out_);
}

void ConsoleWindowView::ShowRecord(const UnitRecord& record) {
    Write(json_ ? JsonRecord(record, Now()) : RecordLine(record));
    watch_.Flush(out_);
}

void ConsoleWindowView::ShowSummary(const StationSummary& summary) {
    Write(json_ ? JsonSummary(summary, Now()) : SummaryLine(summary));
    watch_.Flush(out_);
}

void ConsoleWindowView::ShowModalBox(std::string_view text) {
    lines_.Box(text);
    watch_.Flush(out_);
}

void ConsoleWindowView::Finish() {
    watch_.Flush(out_);
    watch_.Summarize();
}

void ConsoleWindowView::ShowNotice(std::string_view line) {
    errors_ << "qvt-update: " << line << '\n';
    errors_.flush();
}

void ConsoleWindowView::Pump() {
    watch_.Flush(out_);
    if (pump_hook_) pump_hook_();
}

}  // namespace qvt::linux_app
