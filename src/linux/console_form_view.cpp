#include "console_form_view.h"

#include <cstdio>

namespace qvt::linux_app {
namespace {

// A message's CR LF pairs are written as the two characters \n, one line per change.
std::string OneLine(std::string_view text) {
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            line += "\\n";
            ++i;
        } else if (text[i] == '\n' || text[i] == '\r') {
            line += "\\n";
        } else {
            line += text[i];
        }
    }
    return line;
}

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

}  // namespace

void ConsoleFormView::Emit(std::string& last, std::string line) {
    if (line == last) return;
    last = std::move(line);
    out_ << last << '\n';
}

void ConsoleFormView::SetMessage(std::string_view text) {
    Emit(message_, "message: " + OneLine(text));
}

void ConsoleFormView::SetStatus(const StatusPanel& status) {
    Emit(status_, std::string("status: ") + (status.visible ? "shown" : "hidden") +
                      " fg=" + Hex(status.text_color) + " bg=" + Hex(status.background) +
                      " caption=" + OneLine(status.caption));
}

void ConsoleFormView::AppendLog(std::string_view line) {
    out_ << "log: " << OneLine(line) << '\n';
}

void ConsoleFormView::SetProgress(int position, int maximum) {
    Emit(progress_, "progress: " + std::to_string(position) + "/" + std::to_string(maximum));
}

void ConsoleFormView::SetStartEnabled(bool enabled) {
    Emit(start_, std::string("start: ") + (enabled ? "enabled" : "disabled"));
}

void ConsoleFormView::SetForceBox(bool enabled, bool checked) {
    Emit(force_, std::string("force: ") + (enabled ? "enabled" : "disabled") + " " +
                     (checked ? "checked" : "unchecked"));
}

void ConsoleFormView::ShowModalBox(std::string_view text) {
    errors_ << "box: " << OneLine(text) << '\n';
}

}  // namespace qvt::linux_app
