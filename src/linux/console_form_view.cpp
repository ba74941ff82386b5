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

// The controls as the window creates them, each stated once, so that a transcript stands on
// its own.
ConsoleFormView::ConsoleFormView(std::ostream& out, std::ostream& errors)
    : out_(out), errors_(errors) {
    SetMessage("");
    SetStatus(StatusPanel{});
    SetProgress(0, kProgressInitialMax);
    SetStartEnabled(true);
    SetForceBox(true, false);
    out_.flush();
}

void ConsoleFormView::Print(const std::string& line) {
    out_ << line << '\n';
}

void ConsoleFormView::Emit(std::string& last, std::string line) {
    if (line == last) return;
    last = std::move(line);
    Print(last);
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
    Print("log: " + OneLine(line));
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
    Print("box: " + OneLine(text));
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
