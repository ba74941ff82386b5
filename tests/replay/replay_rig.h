#pragma once

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "backend.h"
#include "options.h"
#include "sessions.h"
#include "trace_lines.h"

namespace qvt::linux_app {

// A session run in-process as the program runs it: its transcript, error stream and status,
// and, where it was recorded, its trace.
struct Session {
    std::string out;
    std::string err;
    int status = -1;
    std::string trace;
};

// The session that `arguments` (the command line's, without --record) make, recorded.
inline Session Recorded(const std::vector<std::string_view>& arguments) {
    Session session;
    const auto options = ParseOptions(arguments);
    if (!options) return {"", options.error(), Code(ExitStatus::kUsage), ""};
    auto backend = Backend::Create(*options);
    if (!backend) return {"", backend.error(), Code(ExitStatus::kUsage), ""};
    (*backend)->Record(FrontEndName(*options, false), *options);
    std::ostringstream out, err;
    session.status = RunConsole(*options, **backend, out, err);
    session.out = out.str();
    session.err = err.str();
    session.trace = (*backend)->recorder()->Text({});
    return session;
}

// `trace` replayed as `qvt-update --replay FILE` would, with `extra` options (--json).
inline Session Replayed(const std::string& trace, const std::vector<std::string_view>& extra = {}) {
    auto parsed = trace::ParseTrace(trace);
    if (!parsed) return {"", parsed.error(), Code(ExitStatus::kDataError), ""};
    std::vector<std::string_view> arguments = {"--replay", "trace.jsonl"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    const auto options = ParseOptions(arguments);
    if (!options) return {"", options.error(), Code(ExitStatus::kUsage), ""};
    auto backend = Backend::Create(*options, std::move(*parsed));
    std::ostringstream out, err;
    Session session;
    session.status = RunReplay(*options, **backend, out, err);
    session.out = out.str();
    session.err = err.str();
    return session;
}

// The trace's lines, each without its newline, and back.
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}
inline std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

}  // namespace qvt::linux_app
