#pragma once

// A station in front of the simulated bench, in virtual time: the core's Station with a front
// end that keeps what it was told and stops once nothing on the bench can change any more.
#include <optional>
#include <string>
#include <vector>

#include "rig.h"
#include "station.h"

namespace qvt::testing {

struct StationRig : Rig, StationFrontEnd {
    explicit StationRig(std::string_view json) : Rig(json) {}

    StationSummary Run(bool force = false, std::optional<int> units = std::nullopt) {
        Create();
        return Station(updater, clock, *this, force, units).Run();
    }

    void ShowOutcome(const RunOutcome& outcome) override { outcomes.push_back(outcome); }
    // Each record up to the unit's time: what custody decides (its typical time and status are
    // the record's format, held by the golden transcripts).
    void ShowRecord(const UnitRecord& record) override {
        const std::string line = RecordLine(record);
        records.push_back(
            line.substr(0, std::min(line.find(", typically"), line.find("; status"))));
    }
    void ShowSummary(const StationSummary& shown) override { summary = SummaryLine(shown); }
    bool StopRequested() override { return false; }
    bool BenchQuiet() override { return !world.EventsScheduled(); }

    std::vector<RunOutcome> outcomes;
    std::vector<std::string> records;
    std::string summary;
};

}  // namespace qvt::testing
