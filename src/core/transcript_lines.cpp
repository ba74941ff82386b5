#include "transcript_lines.h"

#include <cstdio>

#include "window_layout.h"

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

TranscriptEntry EntryOf(TranscriptEntry::Kind kind, std::string line) {
    TranscriptEntry entry;
    entry.kind = kind;
    entry.line = std::move(line);
    return entry;
}

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

}  // namespace

TranscriptLines::TranscriptLines(Sink sink)
    : TranscriptLines(
          EntrySink([sink = std::move(sink)](const TranscriptEntry& entry) { sink(entry.line); })) {
}

TranscriptLines::TranscriptLines(EntrySink sink) : sink_(std::move(sink)) {
    Message("");
    Status(StatusPanel{});
    Progress(0, kProgressInitialMax);
    Start(true);
    Force(true, false);
}

void TranscriptLines::Emit(std::string* last, TranscriptEntry entry) {
    if (last) {
        if (entry.line == *last) return;
        *last = entry.line;
    }
    sink_(entry);
}

void TranscriptLines::Message(std::string_view text) {
    TranscriptEntry entry = EntryOf(TranscriptEntry::Kind::kMessage, "message: " + OneLine(text));
    entry.text = text;
    Emit(&message_, std::move(entry));
}

void TranscriptLines::Status(const StatusPanel& status) {
    TranscriptEntry entry =
        EntryOf(TranscriptEntry::Kind::kStatus,
                std::string("status: ") + (status.visible ? "shown" : "hidden") +
                    " fg=" + Hex(status.text_color) + " bg=" + Hex(status.background) +
                    " caption=" + OneLine(status.caption));
    entry.text = status.caption;
    entry.status = status;
    Emit(&status_, std::move(entry));
}

void TranscriptLines::Log(std::string_view line) {
    TranscriptEntry entry = EntryOf(TranscriptEntry::Kind::kLog, "log: " + OneLine(line));
    entry.text = line;
    Emit(nullptr, std::move(entry));
}

void TranscriptLines::Progress(int position, int maximum) {
    TranscriptEntry entry =
        EntryOf(TranscriptEntry::Kind::kProgress,
                "progress: " + std::to_string(position) + "/" + std::to_string(maximum));
    entry.position = position;
    entry.maximum = maximum;
    Emit(&progress_, std::move(entry));
}

void TranscriptLines::Start(bool enabled) {
    TranscriptEntry entry = EntryOf(TranscriptEntry::Kind::kStart,
                                    std::string("start: ") + (enabled ? "enabled" : "disabled"));
    entry.enabled = enabled;
    Emit(&start_, std::move(entry));
}

void TranscriptLines::Force(bool enabled, bool checked) {
    TranscriptEntry entry = EntryOf(TranscriptEntry::Kind::kForce,
                                    std::string("force: ") + (enabled ? "enabled" : "disabled") +
                                        " " + (checked ? "checked" : "unchecked"));
    entry.enabled = enabled;
    entry.checked = checked;
    Emit(&force_, std::move(entry));
}

void TranscriptLines::Box(std::string_view text) {
    TranscriptEntry entry = EntryOf(TranscriptEntry::Kind::kBox, "box: " + OneLine(text));
    entry.text = text;
    Emit(nullptr, std::move(entry));
}

}  // namespace qvt
