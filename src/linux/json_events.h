#pragma once

#include <cstdint>
#include <string>

#include "run_phase.h"
#include "transcript_lines.h"

namespace qvt::linux_app {

// The console's events as JSON Lines: one object a line, each naming the schema and its
// version (packaging/qvt-update-events.schema.json; a change to it takes a new version).
inline constexpr const char* kEventSchema = "qvt-update-events";
inline constexpr int kEventSchemaVersion = 2;

// What a station tells of one unit.
struct UnitRecord {
    int number = 0;           // the station's count, from 1
    std::uint64_t at_ms = 0;  // when the unit was found, in the session's time
    std::uint64_t duration_ms = 0;
    RunOutcome outcome;          // refused: current, or several units at once
    std::string refused_for;     // the refusal in words, for a unit not updated
    std::string version_before;  // "3.00", "boot loader", "unknown"
    std::string version_after;
};

struct StationSummary {
    int completed = 0;
    int failed = 0;
    int refused = 0;
};

// Each returns one line of JSON without its newline; `t_ms` counts from the session's start
// on the session's clock, so that a run in virtual time gives the same lines every time.
std::string JsonEntry(const TranscriptEntry& entry, std::uint64_t t_ms);
std::string JsonOutcome(const RunOutcome& outcome, std::uint64_t t_ms);
std::string JsonRecord(const UnitRecord& record, std::uint64_t t_ms);
std::string JsonSummary(const StationSummary& summary, std::uint64_t t_ms);

// The same record and summary as transcript lines ("record: ...", "summary: ...").
std::string RecordLine(const UnitRecord& record);
std::string SummaryLine(const StationSummary& summary);

}  // namespace qvt::linux_app
