#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "result.h"
#include "trace.h"

namespace qvt::trace {

// The lines of a trace, each without its newline.
std::string HeaderLine(const Header& header);
std::string EndLine(const End& end);
// A call's line, written by hand: a recorder writes thousands of them while a run goes on.
// "t" is left out where it is what the line before implies: `previous_t` for most calls,
// `previous_t` plus the sleeps' length for a run of `count` sleeps.
std::string CallLine(const Call& call, std::uint64_t previous_t, std::size_t count = 1);

// The trace in `text`, or why not in one line ("line 12: ..."). Everything is checked:
// the header's schema and version, each line's length, bytes (no NUL, UTF-8 only) and fields,
// the number of calls, and the outcome line that closes the trace.
Result<Trace> ParseTrace(std::string_view text);
// Whether `line` is a trace's header, of any version: what lets a file be overwritten by a
// recording, and what tells a trace given where a scenario was expected.
bool IsTraceHeader(std::string_view line);

// Bytes as hex digits, "0041ff"; the reports of a replay write them so.
std::string Hex(std::span<const std::uint8_t> bytes);

}  // namespace qvt::trace
