#pragma once

#include <cstdint>
#include <string>

#include "check_report.h"
#include "phase_times.h"
#include "run_phase.h"
#include "station.h"
#include "transcript_lines.h"

namespace qvt::linux_app {

// The console's events as JSON Lines: one object a line, each naming the schema and its
// version (packaging/qvt-update-events.schema.json; a change to it takes a new version).
inline constexpr const char* kEventSchema = "qvt-update-events";
inline constexpr int kEventSchemaVersion = 4;

// Each returns one line of JSON without its newline; `t_ms` counts from the session's start
// on the session's clock, so that a run in virtual time gives the same lines every time.
std::string JsonEntry(const TranscriptEntry& entry, std::uint64_t t_ms);
std::string JsonOutcome(const RunOutcome& outcome, std::uint64_t t_ms);
std::string JsonRecord(const UnitRecord& record, std::uint64_t t_ms);
// A timed phase of a run begins: its typical length and its bound.
std::string JsonPhase(const PhaseClock& clock, std::uint64_t t_ms);
std::string JsonCheck(const CheckReport& report, std::uint64_t t_ms);
std::string JsonSummary(const StationSummary& summary, std::uint64_t t_ms);

}  // namespace qvt::linux_app
