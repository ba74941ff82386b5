#include "transcript_lines.h"

#include <cstdio>

#include "form_layout.h"

namespace qvt {
namespace {

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

TranscriptLines::TranscriptLines(Sink sink) : sink_(std::move(sink)) {
    Message("");
    Status(StatusPanel{});
    Progress(0, kProgressInitialMax);
    Start(true);
    Force(true, false);
}

void TranscriptLines::Emit(std::string& last, std::string line) {
    if (line == last) return;
    last = std::move(line);
    sink_(last);
}

void TranscriptLines::Message(std::string_view text) {
    Emit(message_, "message: " + OneLine(text));
}

void TranscriptLines::Status(const StatusPanel& status) {
    Emit(status_, std::string("status: ") + (status.visible ? "shown" : "hidden") +
                      " fg=" + Hex(status.text_color) + " bg=" + Hex(status.background) +
                      " caption=" + OneLine(status.caption));
}

void TranscriptLines::Log(std::string_view line) {
    sink_("log: " + OneLine(line));
}

void TranscriptLines::Progress(int position, int maximum) {
    Emit(progress_, "progress: " + std::to_string(position) + "/" + std::to_string(maximum));
}

void TranscriptLines::Start(bool enabled) {
    Emit(start_, std::string("start: ") + (enabled ? "enabled" : "disabled"));
}

void TranscriptLines::Force(bool enabled, bool checked) {
    Emit(force_, std::string("force: ") + (enabled ? "enabled" : "disabled") + " " +
                     (checked ? "checked" : "unchecked"));
}

void TranscriptLines::Box(std::string_view text) {
    sink_("box: " + OneLine(text));
}

}  // namespace qvt
