#pragma once

// The bench explorer's space: every event a person makes at the bench, at every step boundary
// of a run, singly and in pairs, with and without one fault of the unit, with and without the
// maker's driver, at the window and as a station.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qvt::explorer {

// What a person does, to the unit under update (unit 0) or with a second unit.
enum class Act : std::uint8_t {
    kUnplug,        // taken away for good
    kReplugSoon,    // taken away, plugged back 2 s later
    kReplugLate,    // taken away, plugged back 250 s later
    kPowerCycle,    // switched off and on
    kSwapCurrent,   // taken away, a current unit (3.10) put in its place half a second later
    kSwapOutdated,  // ... an outdated one (3.00)
    kSwapBlank,     // ... a blank boot loader
    kVisitCurrent,  // a second unit plugged in beside it for ten seconds
    kVisitOutdated,
    kVisitBlank,
    kStayCurrent,  // a second unit plugged in beside it, for good
    kStayOutdated,
    kStayBlank,
};
inline constexpr int kActs = 13;

// When: `at_ms` into the session, `delay_ms` after `after_reports` reports reached the units,
// or `delay_ms` after the first click ended (between clicks).
struct Moment {
    const char* name;
    std::optional<std::uint64_t> at_ms;
    long after_reports = -1;
    std::uint32_t delay_ms = 0;
    bool after_first_click = false;
};
const std::vector<Moment>& Moments();

enum class Fault : std::uint8_t {
    kNone,
    kStuckByte,
    kStaysInBoot,
    kReturnsOld,
    kVersionFails,
    kVersionFailsAfterReset,
    kEraseRefusedOnce,
    kEndReportRefusedOnce,
    kResetRefusedOnce,
    kSilentRead,
};
inline constexpr int kFaults = 10;

struct Step {
    Act act;
    int moment;  // index into Moments()
};

struct Case {
    std::vector<Step> steps;  // none, one or two
    Fault fault = Fault::kNone;
    bool driver = true;
    bool station = false;

    std::string Name() const;
};

// The whole space in a fixed order: singly with every fault, driver and front end; in pairs
// without a fault, with the driver, at the window.
std::vector<Case> Space();

// The scenario that plays the case, as `qvt-update --scenario` takes it; `first_click_end_ms`
// places the events meant for between the clicks.
std::string ScenarioJson(const Case& c, std::uint64_t first_click_end_ms);
// Whether the case needs to know when its first click ends.
bool NeedsFirstClickEnd(const Case& c);

const char* ActName(Act act);
const char* FaultName(Fault fault);

}  // namespace qvt::explorer
