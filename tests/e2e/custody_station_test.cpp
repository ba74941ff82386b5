// The station's share of custody, each case a row: one record for each placement of a unit,
// what each record says of that unit, and the summary.
#include <gtest/gtest.h>

#include <optional>

#include "bench_truth.h"
#include "station_rig.h"

namespace qvt {
namespace {

using testing::StationRig;

struct StationCase {
    const char* what;
    const char* scenario;
    bool force;
    std::optional<int> units;
    // Only where no golden holds them: the station transcripts of
    // tests/golden/scenarios/custody.case-NN-station-*.json show the records of the rest.
    std::vector<std::string> records = {};
    std::string summary = {};
};

const StationCase kStationCases[] = {
    {
        "3: the updated unit swapped within one look for an outdated one, which is updated too",
        R"({"units": [{"mode": "application", "version": "3.00"}],
         "events": [{"action": "unplug", "unit": 0, "at_ms": 32000},
                    {"action": "attach", "unit": {"mode": "application", "version": "3.00"},
                     "at_ms": 32300}]})",
        false,
        {},
    },
    {
        "3: ... or for a blank boot loader",
        R"({"units": [{"mode": "application", "version": "3.00"}],
         "events": [{"action": "unplug", "unit": 0, "at_ms": 32000},
                    {"action": "attach", "unit": {"mode": "boot"}, "at_ms": 32300}]})",
        false,
        {},
    },
    {
        "9: a unit that failed and stays is recorded once",
        R"({"faults": [{"kind": "stuck_byte", "address": "0x5FE0", "value": 0}],
         "events": [{"action": "unplug", "unit": 0, "at_ms": 3000000}]})",
        false,
        3,
    },
    {
        "10: without the driver, the next unit after a completion is updated",
        R"({"app_driver": false, "units": [{"mode": "boot", "version": "3.00"}],
         "events": [{"action": "attach", "unit": {"mode": "boot", "version": "3.00"},
                     "at_ms": 300000}]})",
        false,
        {},
    },
    {
        "10: after a unit left during its run, the next unit is updated",
        R"({"events": [{"action": "unplug", "unit": 0, "after_reports": 1000},
                    {"action": "attach", "unit": {"mode": "application", "version": "3.00"},
                     "at_ms": 900000}]})",
        false,
        {},
    },
    {"11: a bystander that comes and goes leaves the updated unit its one record, forced or not",
     R"({"units": [{"mode": "application", "version": "3.00"}],
         "events": [{"action": "attach", "unit": {"mode": "application", "version": "3.00"},
                     "at_ms": 60000},
                    {"action": "unplug", "unit": 1, "at_ms": 70000}]})",
     true,
     {},
     {"record: unit 1 at 0.000 s: completed; version 3.00 -> 3.10; 27.344 s"},
     "summary: 1 completed, 0 failed, 0 refused"},
    {
        "12: the next unit plugged in during a run leaves the updated one completed",
        R"({"events": [{"action": "attach", "unit": {"mode": "application", "version": "3.00"},
                     "at_ms": 10000},
                    {"action": "unplug", "unit": 0, "at_ms": 60000}]})",
        false,
        {},
    },
    {
        "12: without the driver, a unit swapped during its run is a record of its own",
        R"({"app_driver": false, "units": [{"mode": "boot", "version": "3.00"}],
         "events": [{"action": "unplug", "unit": 0, "after_reports": 3, "delay_ms": 600},
                    {"action": "attach", "unit": {"mode": "boot"}, "after_reports": 3,
                     "delay_ms": 3000}]})",
        false,
        {},
    },
    {"13: --units 1 ends after the first record, the unit still there",
     R"({"units": [{"mode": "application", "version": "3.00"}]})",
     false,
     1,
     {"record: unit 1 at 0.000 s: completed; version 3.00 -> 3.10; 27.344 s"},
     "summary: 1 completed, 0 failed, 0 refused"},
};

TEST(StationCustody, EachPlacementHasOneRecordThatSaysWhatHappenedToIt) {
    for (const StationCase& c : kStationCases) {
        SCOPED_TRACE(c.what);
        StationRig rig(c.scenario);
        rig.Run(c.force, c.units);
        if (!c.summary.empty()) {
            EXPECT_EQ(rig.records, c.records);
            EXPECT_EQ(rig.summary, c.summary);
        }
        for (const RunOutcome& outcome : rig.outcomes) {
            EXPECT_EQ(testing::CustodyViolations(rig.world, rig.updater.firmware, outcome),
                      std::vector<std::string>{});
        }
        // Never a unit flashed twice while it stayed.
        EXPECT_LE(rig.world.unit(0).resets, 1);
    }
}

}  // namespace
}  // namespace qvt
