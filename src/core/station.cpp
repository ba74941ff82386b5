#include "station.h"

#include <cstdio>

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
    return line + "; version " + record.version_before + " -> " + record.version_after + "; " +
           Seconds(record.duration_ms);
}

std::string SummaryLine(const StationSummary& summary) {
    return "summary: " + std::to_string(summary.completed) + " completed, " +
           std::to_string(summary.failed) + " failed, " + std::to_string(summary.refused) +
           " refused";
}

StationSummary Station::Run() {
    // The window's creation has just run the start-up check on what is there now.
    for (bool first = true; !units_ || records_ < *units_; first = false) {
        if (!first) u_.form.CheckNextUnit();
        const Bench bench = Look();
        if (bench == Bench::kEmpty) {
            if (!Wait()) break;
            continue;
        }
        if (bench == Bench::kSeveral) {
            Refused("several units at once", "unknown");
            if (!WaitUntil([this] { return Look() != Bench::kSeveral; })) break;
            continue;
        }
        UpdateOrRefuse();
        if (!AwaitDeparture()) break;
    }
    front_end_.ShowSummary(summary_);
    u_.record.Add(SummaryLine(summary_));
    return summary_;
}

int Station::UnitsThere() const {
    return u_.app.census().app_device_count + u_.link.boot_loaders_seen();
}

Station::Bench Station::Look() const {
    const int units = UnitsThere();
    if (units == 0) return Bench::kEmpty;
    return units == 1 ? Bench::kOne : Bench::kSeveral;
}

std::string Station::VersionNow() const {
    const DeviceCensus& census = u_.app.census();
    if (census.app_device_count != 0 && census.versions_read != 0) {
        return FormatVersion(census.device_version);
    }
    return u_.link.boot_loaders_seen() != 0 ? "boot loader" : "unknown";
}

void Station::Probe() {
    u_.app.ProbeAppMode();
    u_.form.ProbeBootMode();
}

void Station::UpdateOrRefuse() {
    if (force_ && u_.model.controls().force_enabled) u_.form.ckUpdateClick(true);
    const std::string before = VersionNow();
    if (!u_.model.controls().start_enabled) {
        Refused("already current", before);
        return;
    }
    const std::uint64_t start = clock_.NowMs();
    const RunOutcome outcome = u_.form.btnStartClick();
    front_end_.ShowOutcome(outcome);
    UnitRecord record = NewRecord(start);
    record.outcome = outcome;
    record.version_before = before;
    record.version_after = outcome.completed() ? VersionNow() : "unknown";
    if (outcome.completed()) {
        ++summary_.completed;
    } else if (outcome.failed()) {
        ++summary_.failed;
    } else {
        ++summary_.refused;
    }
    Tell(record);
}

void Station::Refused(const std::string& why, const std::string& version) {
    UnitRecord record = NewRecord(clock_.NowMs());
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

template <typename Done>
bool Station::WaitUntil(Done done) {
    for (;;) {
        if (!Wait()) return false;
        Probe();
        if (done()) return true;
    }
}

// A unit taken away leaves the bench to be looked at afresh (the one just recorded, once gone,
// leaves whatever else is there to its turn). A unit plugged in meanwhile is no reason to leave
// the last result standing: the window shows the bench as the start-up check sees it, several
// units, until then.
bool Station::AwaitDeparture() {
    int there = UnitsThere();
    for (;;) {
        if (!Wait()) return false;
        Probe();
        const int now = UnitsThere();
        if (now < there) return true;
        if (now > there) {
            there = now;
            u_.form.CheckNextUnit();
        }
    }
}

}  // namespace qvt
