#include "bench_space.h"

#include <nlohmann/json.hpp>

namespace qvt::explorer {
namespace {

using nlohmann::json;

// Reports of a whole run from one unit: 3 erase, 698 blank-check reads, 1,047 program reports,
// the end report (1,749), 698 verification reads (the last is 2,447), the reset (2,448).
const std::vector<Moment> kMoments = {
    {"boot switch, the request just out", 1000},
    {"boot switch, the boot loader found", 3500},
    {"erase, first pass", std::nullopt, 1, 0},
    {"erase, its end", std::nullopt, 3, 1000},
    {"blank check, its middle", std::nullopt, 350, 0},
    {"blank check, its end", std::nullopt, 701, 0},
    {"programming, its start", std::nullopt, 702, 0},
    {"programming, its middle", std::nullopt, 1200, 0},
    {"programming, the end report", std::nullopt, 1749, 0},
    {"verification, its middle", std::nullopt, 2000, 0},
    {"verification, its end", std::nullopt, 2447, 0},
    {"the reset", std::nullopt, 2448, 0},
    {"return wait, an early cycle", std::nullopt, 2448, 2500},
    {"return wait, a late cycle", std::nullopt, 2448, 150000},
    {"between the clicks", std::nullopt, -1, 1000, true},
};

json UnitOf(const char* mode, const char* version) {
    json unit{{"mode", mode}};
    if (version) unit["version"] = version;
    return unit;
}

// The moment as an event's timing, `shift` later.
void Place(json& event, const Moment& moment, std::uint64_t first_click_end_ms,
           std::uint32_t shift) {
    if (moment.after_first_click) {
        event["at_ms"] = first_click_end_ms + moment.delay_ms + shift;
    } else if (moment.at_ms) {
        event["at_ms"] = *moment.at_ms + shift;
    } else {
        event["after_reports"] = moment.after_reports;
        event["delay_ms"] = moment.delay_ms + shift;
    }
}

json FaultJson(Fault fault) {
    switch (fault) {
        case Fault::kStuckByte:
            return {{"kind", "stuck_byte"}, {"address", "0x1100"}, {"value", 0}};
        case Fault::kStaysInBoot:
            return {{"kind", "stays_in_boot"}};
        case Fault::kReturnsOld:
            return {{"kind", "return_version"}, {"version", "3.00"}};
        case Fault::kVersionFails:
            return {{"kind", "version_query_fails"}};
        case Fault::kVersionFailsAfterReset:
            return {{"kind", "version_query_fails"}, {"after_reset", true}};
        case Fault::kEraseRefusedOnce:
            return {{"kind", "refuse_writes"}, {"command", "erase"}, {"from", 3}, {"count", 1}};
        case Fault::kEndReportRefusedOnce:
            return {{"kind", "refuse_writes"}, {"command", "program_end"}, {"count", 1}};
        case Fault::kResetRefusedOnce:
            return {{"kind", "refuse_writes"}, {"command", "reset"}, {"count", 1}};
        case Fault::kSilentRead:
            return {{"kind", "silent_reads"}, {"from", 1}, {"count", 1}};
        case Fault::kNone:
            break;
    }
    return {};
}

}  // namespace

const std::vector<Moment>& Moments() {
    return kMoments;
}

const char* ActName(Act act) {
    static const char* const kNames[kActs] = {"unplug",
                                              "unplug, plug back 2 s later",
                                              "unplug, plug back 250 s later",
                                              "power cycle",
                                              "swap for a current unit",
                                              "swap for an outdated unit",
                                              "swap for a blank boot loader",
                                              "a current unit for 10 s",
                                              "an outdated unit for 10 s",
                                              "a blank boot loader for 10 s",
                                              "a current unit for good",
                                              "an outdated unit for good",
                                              "a blank boot loader for good"};
    return kNames[static_cast<int>(act)];
}

const char* FaultName(Fault fault) {
    static const char* const kNames[kFaults] = {"no fault",
                                                "a stuck byte",
                                                "stays in its boot loader",
                                                "returns old",
                                                "version query fails",
                                                "version query fails after the reset",
                                                "erase refused once",
                                                "end report refused once",
                                                "reset refused once",
                                                "one silent read"};
    return kNames[static_cast<int>(fault)];
}

std::string Case::Name() const {
    std::string name;
    for (const Step& step : steps) {
        name += std::string(ActName(step.act)) + " at " + kMoments[step.moment].name + "; ";
    }
    if (steps.empty()) name = "nothing happens; ";
    name += FaultName(fault);
    name += driver ? "; with the driver" : "; without the driver";
    name += station ? "; a station" : "; the window";
    return name;
}

bool NeedsFirstClickEnd(const Case& c) {
    for (const Step& step : c.steps) {
        if (kMoments[step.moment].after_first_click) return true;
    }
    return false;
}

std::vector<Case> Space() {
    std::vector<Case> space;
    for (bool station : {false, true}) {
        for (bool driver : {true, false}) {
            for (int f = 0; f < kFaults; ++f) {
                space.push_back({{}, static_cast<Fault>(f), driver, station});
                for (int a = 0; a < kActs; ++a) {
                    for (int m = 0; m < static_cast<int>(kMoments.size()); ++m) {
                        space.push_back(
                            {{{static_cast<Act>(a), m}}, static_cast<Fault>(f), driver, station});
                    }
                }
            }
        }
    }
    const int moments = static_cast<int>(kMoments.size());
    for (int a = 0; a < kActs; ++a) {
        for (int m = 0; m < moments; ++m) {
            for (int b = 0; b < kActs; ++b) {
                for (int n = m; n < moments; ++n) {
                    space.push_back({{{static_cast<Act>(a), m}, {static_cast<Act>(b), n}}});
                }
            }
        }
    }
    return space;
}

std::string ScenarioJson(const Case& c, std::uint64_t first_click_end_ms) {
    json scenario;
    // Without the driver a unit in its application cannot be seen: the update starts from the
    // boot loader.
    scenario["units"] =
        json::array({c.driver ? UnitOf("application", "3.00") : UnitOf("boot", "3.00")});
    if (!c.driver) scenario["app_driver"] = false;
    if (c.fault != Fault::kNone) scenario["faults"] = json::array({FaultJson(c.fault)});
    json events = json::array();
    int next_unit = 1;  // the index the next attached unit takes
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
        const Step& step = c.steps[i];
        const Moment& moment = kMoments[static_cast<std::size_t>(step.moment)];
        // The second event of a pair at the same moment comes a moment after the first.
        const std::uint32_t shift = static_cast<std::uint32_t>(i) * 100;
        auto add = [&](json event, std::uint32_t later) {
            Place(event, moment, first_click_end_ms, shift + later);
            events.push_back(std::move(event));
        };
        auto attach = [&](json unit, std::uint32_t later) {
            add({{"action", "attach"}, {"unit", std::move(unit)}}, later);
            return next_unit++;
        };
        const json current = UnitOf("application", "3.10");
        const json outdated = UnitOf("application", "3.00");
        const json blank = UnitOf("boot", nullptr);
        switch (step.act) {
            case Act::kUnplug:
                add({{"action", "unplug"}, {"unit", 0}}, 0);
                break;
            case Act::kReplugSoon:
            case Act::kReplugLate:
                add({{"action", "unplug"}, {"unit", 0}}, 0);
                add({{"action", "plug"}, {"unit", 0}},
                    step.act == Act::kReplugSoon ? 2000 : 250000);
                break;
            case Act::kPowerCycle:
                add({{"action", "power_cycle"}, {"unit", 0}}, 0);
                break;
            case Act::kSwapCurrent:
            case Act::kSwapOutdated:
            case Act::kSwapBlank:
                add({{"action", "unplug"}, {"unit", 0}}, 0);
                attach(step.act == Act::kSwapCurrent    ? current
                       : step.act == Act::kSwapOutdated ? outdated
                                                        : blank,
                       500);
                break;
            case Act::kVisitCurrent:
            case Act::kVisitOutdated:
            case Act::kVisitBlank: {
                const int unit = attach(step.act == Act::kVisitCurrent    ? current
                                        : step.act == Act::kVisitOutdated ? outdated
                                                                          : blank,
                                        0);
                add({{"action", "unplug"}, {"unit", unit}}, 10000);
                break;
            }
            case Act::kStayCurrent:
            case Act::kStayOutdated:
            case Act::kStayBlank:
                attach(step.act == Act::kStayCurrent    ? current
                       : step.act == Act::kStayOutdated ? outdated
                                                        : blank,
                       0);
                break;
        }
    }
    if (!events.empty()) scenario["events"] = std::move(events);
    return scenario.dump();
}

}  // namespace qvt::explorer
