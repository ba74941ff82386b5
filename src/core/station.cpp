#include "station.h"

#include <algorithm>
#include <cstdio>

#include "phase_times.h"
#include "version_text.h"

namespace qvt {
namespace {

constexpr std::uint32_t kLookIntervalMs = 1000;

std::string Seconds(std::uint64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%llu.%03llu s", static_cast<unsigned long long>(ms / 1000),
                  static_cast<unsigned long long>(ms % 1000));
    return text;
}

}  // namespace

std::string RecordLine(const UnitRecord& record) {
    std::string line = "record: unit " + std::to_string(record.number) + " at " +
                       Seconds(record.at_ms) + ": " + KindName(record.outcome.kind);
    if (record.outcome.failed()) {
        line += std::string(" in the ") + PhaseName(record.outcome.phase) + " (" +
                CauseName(record.outcome.cause) + ")";
    }
    if (!record.refused_for.empty()) line += " (" + record.refused_for + ")";
    line += "; version " + record.version_before + " -> " + record.version_after + "; " +
            Seconds(record.duration_ms);
    if (record.typical_ms != 0) line += ", typically " + Seconds(record.typical_ms);
    if (Slow(record)) line += ", SLOW (three times typical or more: look at this unit)";
    return line + "; status " + std::to_string(Code(record.status)) + " " +
           std::string(ExitStatusName(Code(record.status)));
}

bool Slow(const UnitRecord& record) {
    return record.typical_ms != 0 && record.duration_ms >= kSlowFactor * record.typical_ms;
}

std::string SummaryLine(const StationSummary& summary) {
    return "summary: " + std::to_string(summary.completed) + " completed, " +
           std::to_string(summary.failed) + " failed, " + std::to_string(summary.refused) +
           " refused";
}

Station::Units Station::UnitsOf(const BenchLook& look) {
    Units units;
    for (const VersionReading& reading : look.app) ++units[reading ? *reading : -1];
    if (look.boot_loaders > 0) units[kBootLoader] = look.boot_loaders;
    return units;
}

namespace {

int Total(const Station::Units& units) {
    int total = 0;
    for (const auto& [kind, count] : units) total += count;
    return total;
}

// What `units` holds beyond `known`.
Station::Units Beyond(const Station::Units& units, const Station::Units& known) {
    Station::Units beyond;
    for (const auto& [kind, count] : units) {
        const auto there = known.find(kind);
        const int extra = count - (there == known.end() ? 0 : there->second);
        if (extra > 0) beyond[kind] = extra;
    }
    return beyond;
}

}  // namespace

StationSummary Station::Run() {
    // The window's creation has just run the start-up check on what is there now.
    Units now = UnitsOf(Seen());
    bool shown = true;  // the window shows the start-up check of `now`
    // The start-up check afresh: the window shows the bench as it is, and `now` is what it saw.
    auto show_afresh = [&] {
        u_.form.CheckNextUnit();
        now = UnitsOf(Seen());
        shown = true;
    };
    while (!units_ || records_ < *units_) {
        // A recorded unit no longer seen as it was has left; what it left behind is not it.
        for (auto& [kind, count] : recorded_) {
            const auto there = now.find(kind);
            count = std::min(count, there == now.end() ? 0 : there->second);
        }
        std::erase_if(recorded_, [](const auto& kind) { return kind.second == 0; });
        const Units fresh = Beyond(now, recorded_);
        const bool several = Total(now) > 1;
        if (!fresh.empty() && (!several || (recorded_.empty() && !several_told_))) {
            if (!shown) {
                show_afresh();
                continue;
            }
            if (several) {
                Refused("several units at once", "unknown", ExitStatus::kSeveralUnits);
                several_told_ = true;
                continue;
            }
            const RunOutcome outcome = UpdateOrRefuse();
            now = Probe(false);
            recorded_ = RecordedUnit(outcome, now, u_.app.image_version());
            shown = false;
            continue;
        }
        if (!several) several_told_ = false;
        if (!Wait()) break;
        if (recorded_.empty()) {
            show_afresh();
            continue;
        }
        // Something came or went beside what is recorded: the window shows the bench as the
        // start-up check sees it, no longer the last result.
        const Units before = now;
        now = Probe();
        if (now != before) show_afresh();
    }
    front_end_.ShowSummary(summary_);
    u_.record.Add(SummaryLine(summary_));
    return summary_;
}

Station::Units Station::RecordedUnit(const RunOutcome& outcome, const Units& now,
                                     std::uint16_t image_version) {
    if (Total(now) <= 1) return now;
    // A unit plugged in during the run is beside it: the updated one is the one running a
    // current application, a failed one most likely its boot loader.
    for (const auto& [kind, count] : now) {
        const bool current = kind == -1 || kind >= image_version;
        if (outcome.completed() ? current : kind == kBootLoader) return {{kind, 1}};
    }
    return {{now.begin()->first, 1}};
}

BenchLook Station::Seen() const {
    BenchLook look;
    look.app = u_.app.census().versions;
    look.boot_loaders = u_.link.boot_loaders_seen();
    look.driver = u_.app.DriverPresent();
    return look;
}

std::string Station::VersionNow() const {
    const DeviceCensus& census = u_.app.census();
    if (census.app_device_count != 0 && census.versions.front()) {
        return FormatVersion(census.device_version);
    }
    return u_.link.boot_loaders_seen() != 0 ? "boot loader" : "unknown";
}

Station::Units Station::Probe(bool settle) {
    u_.app.ProbeAppMode();
    if (settle) {
        u_.form.ProbeBootMode();
    } else {
        // Right after a record: what is there, without the settle wait a search makes before
        // anything is asked of a boot loader.
        u_.link.FindBootLoaders(u_.form.expected_boot_loaders());
        u_.link.CloseBootLoaders();
    }
    return UnitsOf(Seen());
}

RunOutcome Station::UpdateOrRefuse() {
    if (force_ && u_.model.controls().force_enabled) u_.form.ckUpdateClick(true);
    const std::string before = VersionNow();
    if (!u_.model.controls().start_enabled) {
        const bool unread =
            u_.form.finding().situation == StartupFinding::Situation::kVersionUnread;
        Refused(unread ? "version unread" : "already current", before,
                unread ? ExitStatus::kVersionUnread : ExitStatus::kCurrent);
        return {RunOutcome::Kind::kRefused, Phase::kIdle, FailureCause::kNone,
                Refusal::kStartDisabled};
    }
    const std::uint64_t start = clock_.NowMs();
    const RunOutcome outcome = u_.form.btnStartClick();
    front_end_.ShowOutcome(outcome);
    // Each time the unit left the bench during the run and one was found again, the placement
    // before it ended there, its update not done.
    for (const Phase left_in : u_.sequence.departures()) {
        UnitRecord record = NewRecord(start);
        record.outcome = {RunOutcome::Kind::kFailed, left_in, FailureCause::kUnitLeft,
                          Refusal::kNone};
        record.status = ExitStatus::kFailed;
        record.typical_ms = TypicalRunMs(u_.app.DriverPresent());
        record.version_before = before;
        record.version_after = "unknown";
        ++summary_.failed;
        Tell(record);
    }
    UnitRecord record = NewRecord(start);
    record.outcome = outcome;
    record.status = StatusOf(outcome);
    record.typical_ms = TypicalRunMs(u_.app.DriverPresent());
    record.version_before = u_.sequence.departures().empty() ? before : "unknown";
    const VersionReading& returned = u_.sequence.last_verdict().returned;
    record.version_after = outcome.completed() && returned ? FormatVersion(*returned) : "unknown";
    if (outcome.completed()) {
        ++summary_.completed;
    } else if (outcome.failed()) {
        ++summary_.failed;
    } else {
        ++summary_.refused;
    }
    Tell(record);
    return outcome;
}

void Station::Refused(const std::string& why, const std::string& version, ExitStatus status) {
    UnitRecord record = NewRecord(clock_.NowMs());
    record.status = status;
    record.outcome.kind = RunOutcome::Kind::kRefused;
    record.outcome.refusal = Refusal::kStartDisabled;
    record.refused_for = why;
    record.version_before = record.version_after = version;
    ++summary_.refused;
    Tell(record);
}

UnitRecord Station::NewRecord(std::uint64_t start) {
    UnitRecord record;
    record.number = ++records_;
    record.at_ms = start - origin_;
    record.duration_ms = clock_.NowMs() - start;
    return record;
}

void Station::Tell(const UnitRecord& record) {
    front_end_.ShowRecord(record);
    u_.record.Add(RecordLine(record));
}

bool Station::Wait() {
    if (front_end_.StopRequested() || front_end_.BenchQuiet()) return false;
    clock_.Sleep(kLookIntervalMs);
    u_.model.Pump();
    return !front_end_.StopRequested();
}

}  // namespace qvt
