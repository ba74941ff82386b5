#include "console_form_view.h"

namespace qvt::linux_app {

ConsoleFormView::ConsoleFormView(std::ostream& out, std::ostream& errors)
    : out_(out),
      errors_(errors),
      lines_([this](const std::string& line) { out_ << line << '\n'; }) {
    out_.flush();
}

void ConsoleFormView::ShowModalBox(std::string_view text) {
    lines_.Box(text);
    out_.flush();
}

void ConsoleFormView::ShowNotice(std::string_view line) {
    errors_ << "qvt-update: " << line << '\n';
    errors_.flush();
}

void ConsoleFormView::Pump() {
    out_.flush();
    if (pump_hook_) pump_hook_();
}

}  // namespace qvt::linux_app
