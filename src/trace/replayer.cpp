#include "replayer.h"

#include <algorithm>
#include <cstdio>

#include "trace_lines.h"

namespace qvt::trace {
namespace {

std::string Code(std::uint32_t code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(code));
    return text;
}

std::string SizedBytes(const std::vector<std::uint8_t>& bytes) {
    return std::to_string(bytes.size()) + " bytes " + (bytes.empty() ? "(none)" : Hex(bytes));
}

std::string ByteDifference(const std::vector<std::uint8_t>& recorded,
                           const std::vector<std::uint8_t>& made) {
    const auto [r, m] = std::mismatch(recorded.begin(), recorded.end(), made.begin(), made.end());
    const std::size_t at = static_cast<std::size_t>(r - recorded.begin());
    auto byte = [](auto it, const auto& bytes) {
        if (it == bytes.end()) return std::string("none");
        char text[8];
        std::snprintf(text, sizeof text, "0x%02x", static_cast<unsigned>(*it));
        return std::string(text);
    };
    return "the bytes differ from byte " + std::to_string(at) + " on (" + byte(r, recorded) +
           " in the trace, " + byte(m, made) + " from the program)";
}

}  // namespace

std::string Describe(const Call& call) {
    const std::string name(KindName(call.kind));
    const std::string handle = "handle " + std::to_string(call.handle);
    switch (call.kind) {
        case CallKind::kDriverOpen:
            return name + "(\"" + call.name + "\")";
        case CallKind::kDriverIoctl:
            return name + "(" + handle + ", " + Code(call.code) + ", in " + SizedBytes(call.in) +
                   ", room for " + std::to_string(call.size) + ")";
        case CallKind::kHidPath:
            return name + "(index " + std::to_string(call.index) + ")";
        case CallKind::kHidOpen:
        case CallKind::kHidInspect:
            return name + "(" +
                   (call.path ? "path " + std::to_string(*call.path) : "\"" + call.name + "\"") +
                   ")";
        case CallKind::kHidWrite:
            return name + "(" + handle + ", " + std::to_string(call.ms) + " ms, " +
                   SizedBytes(call.in) + ")";
        case CallKind::kHidRead:
            return name + "(" + handle + ", " + std::to_string(call.ms) + " ms, room for " +
                   std::to_string(call.size) + ")";
        case CallKind::kHidAttributes:
        case CallKind::kDriverClose:
        case CallKind::kHidClose:
            return name + "(" + handle + ")";
        case CallKind::kSleep:
            return name + "(" + std::to_string(call.ms) + " ms)";
        case CallKind::kStart:
            return name + std::string(call.ok ? "(force box ticked)" : "(force box unticked)");
    }
    return name;
}

std::string Difference(const Call& recorded, const Call& made) {
    std::string text =
        "the trace holds " + Describe(recorded) + "; the program made " + Describe(made);
    const bool bytes_only = recorded.kind == made.kind && recorded.handle == made.handle &&
                            recorded.code == made.code && recorded.ms == made.ms &&
                            recorded.size == made.size;
    if (bytes_only && recorded.kind == CallKind::kHidWrite && recorded.in != made.in) {
        text += "; " + ByteDifference(recorded.in, made.in);
    }
    if (bytes_only && recorded.kind == CallKind::kDriverIoctl && recorded.in != made.in) {
        text += "; " + ByteDifference(recorded.in, made.in);
    }
    return text;
}

Replayer::Replayer(Trace trace, std::string_view program_version)
    : trace_(std::move(trace)), lenient_(trace_.header.program_version != program_version) {}

std::string Replayer::Where(std::size_t index) const {
    const std::size_t line = index < trace_.lines.size() ? trace_.lines[index]
                             : trace_.lines.empty()      ? 2
                                                         : trace_.lines.back() + 1;
    return "call " + std::to_string(index + 1) + " (line " + std::to_string(line) + ")";
}

void Replayer::Diverge(const std::string& what) {
    stopped_ = true;
    report_ = "replay diverged at " + Where(next_) + ": " + what;
    if (on_diverged_) on_diverged_();
}

bool Replayer::NextIs(CallKind kind) const {
    return !stopped_ && Next() && Next()->kind == kind;
}

bool Replayer::OnlyClosesLeft() const {
    return std::all_of(trace_.calls.begin() + static_cast<std::ptrdiff_t>(next_),
                       trace_.calls.end(), [](const Call& call) {
                           return call.kind == CallKind::kDriverClose ||
                                  call.kind == CallKind::kHidClose;
                       });
}

const Call* Replayer::Answer(const Call& made) {
    if (stopped_) return nullptr;
    const Call* recorded = Next();
    if (!recorded) {
        Diverge(std::string(trace_.end.cut ? "the trace was cut here (its recording was full)"
                                           : "the trace holds no more calls") +
                "; the program made " + Describe(made));
        return nullptr;
    }
    if (recorded->kind != made.kind || (!lenient_ && !recorded->SameArguments(made))) {
        Diverge(Difference(*recorded, made));
        return nullptr;
    }
    if (!recorded->SameArguments(made)) {
        if (notes_.size() < kMaxNotes) {
            notes_.push_back(Where(next_) + ": " + Difference(*recorded, made));
        } else {
            ++notes_left_out_;
        }
    }
    ++next_;
    now_ = recorded->t_ms;
    return recorded;
}

void Replayer::Finish(const std::string& outcome, std::optional<int> status) {
    if (stopped_) return;
    if (const Call* left = Next()) {
        Diverge("the trace holds " + Describe(*left) + "; the program ended its session");
        return;
    }
    stopped_ = true;
    // The same words with another exit status is another ending too.
    // A session that a signal ended is replayed up to where it ended, with no signal to end it.
    const bool status_differs =
        trace_.end.status && status && *trace_.end.status != *status && *trace_.end.status < 128;
    if (outcome != trace_.end.outcome || status_differs) {
        const auto exit = [status_differs](std::optional<int> code) {
            return status_differs ? " (exit " + std::to_string(*code) + ")" : std::string();
        };
        report_ = "replay diverged at the outcome (line " +
                  std::to_string(trace_.lines.empty() ? 2 : trace_.lines.back() + 1) +
                  "): the trace ends with \"" + trace_.end.outcome + "\"" +
                  exit(trace_.end.status) + "; the replayed session ended with \"" + outcome +
                  "\"" + exit(status);
        if (on_diverged_) on_diverged_();
    }
}

}  // namespace qvt::trace
