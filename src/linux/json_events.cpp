#include "json_events.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "version_text.h"

namespace qvt::linux_app {
namespace {

using json = nlohmann::ordered_json;

json Event(const char* name, std::uint64_t t_ms) {
    return json{{"schema", kEventSchema},
                {"version", kEventSchemaVersion},
                {"t_ms", t_ms},
                {"event", name}};
}

std::string Line(const json& event) {
    // Texts are the window's own UTF-8; anything else is replaced rather than refused.
    return event.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

json OutcomeFields(const RunOutcome& outcome) {
    return json{{"kind", KindName(outcome.kind)},
                {"phase", PhaseName(outcome.phase)},
                {"cause", CauseName(outcome.cause)},
                {"refusal", RefusalName(outcome.refusal)},
                {"reason", ReasonName(outcome.reason)}};
}

void AddStatus(json& event, ExitStatus status) {
    event["status"] = Code(status);
    event["status_name"] = ExitStatusName(Code(status));
}

}  // namespace

std::string JsonEntry(const TranscriptEntry& entry, std::uint64_t t_ms) {
    using Kind = TranscriptEntry::Kind;
    static constexpr const char* kNames[] = {"message", "status", "log", "progress",
                                             "start",   "force",  "box"};
    json event = Event(kNames[static_cast<int>(entry.kind)], t_ms);
    switch (entry.kind) {
        case Kind::kMessage:
        case Kind::kBox:
            event["text"] = entry.text;
            break;
        case Kind::kStatus:
            event["visible"] = entry.status.visible;
            event["caption"] = entry.status.caption;
            event["text_color"] = Hex(entry.status.text_color);
            event["background"] = Hex(entry.status.background);
            break;
        case Kind::kLog:
            event["line"] = entry.text;
            break;
        case Kind::kProgress:
            event["position"] = entry.position;
            event["maximum"] = entry.maximum;
            break;
        case Kind::kStart:
        case Kind::kForce:
            event["enabled"] = entry.enabled;
            if (entry.kind == Kind::kForce) event["checked"] = entry.checked;
            break;
    }
    return Line(event);
}

std::string JsonOutcome(const RunOutcome& outcome, std::uint64_t t_ms) {
    json event = Event("outcome", t_ms);
    event.update(OutcomeFields(outcome));
    AddStatus(event, StatusOf(outcome));
    return Line(event);
}

std::string JsonRecord(const UnitRecord& record, std::uint64_t t_ms) {
    json event = Event("record", t_ms);
    event["unit"] = record.number;
    event["at_ms"] = record.at_ms;
    event["duration_ms"] = record.duration_ms;
    event["outcome"] = OutcomeFields(record.outcome);
    event["refused_for"] = record.refused_for;
    event["version_before"] = record.version_before;
    event["version_after"] = record.version_after;
    event["typical_ms"] = record.typical_ms;
    event["slow"] = Slow(record);
    AddStatus(event, record.status);
    return Line(event);
}

std::string JsonPhase(const PhaseClock& clock, std::uint64_t t_ms) {
    json event = Event("phase", t_ms);
    event["phase"] = clock.phase;
    event["waiting_for"] = clock.waiting_for;
    event["typical_ms"] = clock.typical_ms;
    event["limit_ms"] = clock.limit_ms;
    return Line(event);
}

std::string JsonCheck(const CheckReport& report, std::uint64_t t_ms) {
    json event = Event("check", t_ms);
    json units = json::array();
    for (const CheckReport::Unit& unit : report.units) {
        json entry{{"mode", unit.boot_loader ? "boot loader" : "application"}};
        if (!unit.boot_loader) {
            entry["version"] = unit.version ? json(FormatVersion(*unit.version)) : json(nullptr);
        }
        units.push_back(std::move(entry));
    }
    event["units"] = std::move(units);
    AddStatus(event, report.status);
    return Line(event);
}

std::string JsonSummary(const StationSummary& summary, std::uint64_t t_ms) {
    json event = Event("summary", t_ms);
    event["completed"] = summary.completed;
    event["failed"] = summary.failed;
    event["refused"] = summary.refused;
    return Line(event);
}

}  // namespace qvt::linux_app
