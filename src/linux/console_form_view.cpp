#include "console_form_view.h"

namespace qvt::linux_app {

ConsoleFormView::ConsoleFormView(std::ostream& out, std::ostream& errors)
    : out_(out),
      errors_(errors),
      lines_([this](const std::string& line) { out_ << line << '\n'; }),
      watch_(errors, "the transcript") {
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
