#pragma once

// What the simulated world knows and the program never reads: which physical unit is where,
// what its flash holds, and what this program sent it. Custody is judged against this, not
// against what the program says of itself.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "boot_reports.h"
#include "firmware_image.h"
#include "firmware_layout.h"
#include "run_phase.h"
#include "simulated_world.h"

namespace qvt::testing {

// The version of the shipped image, as a unit running it reports it.
inline constexpr std::uint16_t kImageVersionShipped = 0x0310;

inline bool OnBench(const sim::SimUnit& unit) {
    return !unit.unplugged && unit.state != sim::UnitState::kGone;
}

inline bool HoldsImage(const sim::SimUnit& unit, const FirmwareImage& image) {
    return std::equal(unit.flash.begin() + kFlashFirstAddress, unit.flash.end(),
                      image.program.begin() + kFlashFirstAddress);
}

inline long Received(const sim::SimUnit& unit, std::uint8_t command) {
    const auto found = unit.reports_received.find(command);
    return found == unit.reports_received.end() ? 0 : found->second;
}

// A unit this program programmed to its end, holding the image, running it on the bench
// (whatever version a faulty unit then reports: the program confirms that where it can read it).
inline bool FlashedAndRunning(const sim::SimUnit& unit, const FirmwareImage& image) {
    return OnBench(unit) && unit.state == sim::UnitState::kApplication &&
           Received(unit, sim::wire::kProgramEnd) > 0 && HoldsImage(unit, image);
}

// Whether the unit's version query answers with the whole word.
inline bool VersionReadable(const sim::SimUnit& unit) {
    std::size_t bytes = 0;
    return unit.QueryVersion(bytes).has_value() && bytes == 2;
}

struct BenchTruth {
    int app = 0;   // units on the bench in their application
    int boot = 0;  // units on the bench in their boot loader
    int current = 0;
};

inline BenchTruth Truth(const sim::SimulatedWorld& world) {
    BenchTruth truth;
    for (std::size_t i = 0; i < world.unit_count(); ++i) {
        const sim::SimUnit& unit = world.unit(i);
        if (!OnBench(unit)) continue;
        if (unit.state == sim::UnitState::kBoot) {
            ++truth.boot;
            continue;
        }
        ++truth.app;
        truth.current += unit.running_version >= kImageVersionShipped ? 1 : 0;
    }
    return truth;
}

// Whether a completion shown now is true: a unit this program flashed runs the image on the
// bench; or one of the listed stand-ins, where every unit this program sent anything is away
// from the bench and a current unit stands where it stood (or, without the driver, where
// nothing in application mode can be seen, any unit or none). `stand_in` tells which.
inline bool CompletionStands(const sim::SimulatedWorld& world, const FirmwareImage& image,
                             bool* stand_in = nullptr) {
    bool flashed_there = false, touched_there = false;
    for (std::size_t i = 0; i < world.unit_count(); ++i) {
        const sim::SimUnit& unit = world.unit(i);
        flashed_there = flashed_there || FlashedAndRunning(unit, image);
        touched_there = touched_there || (OnBench(unit) && unit.total_received > 0);
    }
    if (stand_in) *stand_in = !flashed_there;
    if (flashed_there) return true;
    return !touched_there && (Truth(world).current > 0 || !world.app_driver());
}

// The invariants of custody after one click, in words when broken:
// - completion: it stands (CompletionStands), with no boot loader on the bench.
// - "current" (a refusal of nothing to update): one unit on the bench, in its application,
//   whose version reads whole and no older than the image.
// - "version unread": one unit on the bench, in its application, whose version does not read.
// - no boot loader's own area ever changes.
inline std::vector<std::string> CustodyViolations(const sim::SimulatedWorld& world,
                                                  const FirmwareImage& image,
                                                  const RunOutcome& outcome,
                                                  bool* stand_in = nullptr) {
    std::vector<std::string> broken;
    for (std::size_t i = 0; i < world.unit_count(); ++i) {
        const sim::SimUnit& unit = world.unit(i);
        if (!std::equal(unit.boot_area_at_start.begin(), unit.boot_area_at_start.end(),
                        unit.flash.begin())) {
            broken.push_back("the boot loader's area of unit " + std::to_string(i) + " changed");
        }
    }
    const BenchTruth truth = Truth(world);
    if (outcome.completed()) {
        if (truth.boot > 0) broken.push_back("completion shown with a unit in its boot loader");
        if (!CompletionStands(world, image, stand_in)) {
            broken.push_back(
                "completion shown, but no unit this program flashed runs the image "
                "on the bench");
        }
    }
    if (outcome.refusal == Refusal::kNothingToUpdate ||
        outcome.refusal == Refusal::kVersionUnread) {
        const sim::SimUnit* one = nullptr;
        for (std::size_t i = 0; i < world.unit_count(); ++i) {
            if (OnBench(world.unit(i))) one = &world.unit(i);
        }
        const bool alone = truth.app + truth.boot == 1 && truth.app == 1 && one;
        if (!alone) {
            broken.push_back("refused as one unit in its application, but the bench differs");
        } else if (outcome.refusal == Refusal::kNothingToUpdate &&
                   (!VersionReadable(*one) || one->running_version < kImageVersionShipped)) {
            broken.push_back("refused as current, but the unit's version is not read current");
        } else if (outcome.refusal == Refusal::kVersionUnread && VersionReadable(*one)) {
            broken.push_back("refused for an unread version that reads");
        }
    }
    return broken;
}

}  // namespace qvt::testing
