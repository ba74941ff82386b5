#include "scenario_draw.h"

#include <nlohmann/json.hpp>
#include <random>
#include <set>

namespace qvt::campaign {
namespace {

using nlohmann::json;

// std::mt19937_64 is specified to the bit, so a seed draws the same session everywhere.
class Dice {
  public:
    explicit Dice(std::uint64_t seed) : engine_(seed) {}
    long Between(long low, long high) {
        return std::uniform_int_distribution<long>(low, high)(engine_);
    }
    bool Chance(double p) { return std::bernoulli_distribution(p)(engine_); }
    template <typename T, std::size_t N>
    const T& Pick(const T (&items)[N]) {
        return items[static_cast<std::size_t>(Between(0, N - 1))];
    }

  private:
    std::mt19937_64 engine_;
};

constexpr const char* kVersions[] = {"2.FF", "3.00", "3.0F", "3.10", "3.11"};
constexpr const char* kCommands[] = {"erase", "program", "program_end", "read", "reset", "any"};

json Unit(Dice& dice) {
    json unit;
    unit["mode"] = dice.Chance(0.7) ? "application" : "boot";
    if (unit["mode"] == "application" || dice.Chance(0.6)) unit["version"] = dice.Pick(kVersions);
    return unit;
}

// Where in a session a count of reports lands: early, in programming, late, or anywhere.
long ReportCount(Dice& dice) {
    switch (dice.Between(0, 3)) {
        case 0:
            return dice.Between(0, 20);
        case 1:
            return dice.Between(600, 1800);
        case 2:
            return dice.Between(2400, 2460);
        default:
            return dice.Between(0, 7500);
    }
}

json Fault(Dice& dice, long units) {
    json fault;
    fault["unit"] = dice.Between(0, units - 1);
    switch (dice.Between(0, 12)) {
        case 0:
        case 1: {
            fault["kind"] = dice.Chance(0.5) ? "refuse_writes" : "failing_writes";
            const std::string command = dice.Pick(kCommands);
            fault["command"] = command;
            const long range = command == "program" ? 3200 : command == "read" ? 4200 : 9;
            fault["from"] = dice.Between(1, command == "any" ? 7500 : range);
            if (!dice.Chance(0.15)) fault["count"] = dice.Between(1, 5);
            break;
        }
        case 2:
            fault["kind"] = "silent_reads";
            fault["from"] = dice.Between(1, 4200);
            if (!dice.Chance(0.1)) fault["count"] = dice.Between(1, 3);
            break;
        case 3:
            fault["kind"] = "late_reads";
            fault["from"] = dice.Between(1, 4200);
            if (!dice.Chance(0.1)) fault["count"] = dice.Between(1, 3);
            fault["delay_ms"] = dice.Between(0, 300);
            break;
        case 4:
            fault["kind"] = "stuck_byte";
            fault["address"] =
                dice.Chance(0.15) ? dice.Between(0, 0x10FF) : dice.Between(0x1100, 0x5FFF);
            fault["value"] = dice.Between(0, 255);
            break;
        case 5:
            fault["kind"] = "unplug";
            fault["after_reports"] = ReportCount(dice);
            break;
        case 6:
            fault["kind"] = "ignore_boot_request";
            break;
        case 7:
        case 8:
            fault["kind"] = dice.Chance(0.5) ? "version_query_fails" : "short_version_reply";
            fault["after_reset"] = dice.Chance(0.7);
            break;
        case 9:
            fault["kind"] = "return_version";
            fault["version"] = dice.Pick(kVersions);
            break;
        case 10:
            fault["kind"] = "stays_in_boot";
            break;
        default:
            fault.erase("unit");
            fault["kind"] = "attach";
            fault["after_reports"] = ReportCount(dice);
            fault["unit"] = Unit(dice);
            break;
    }
    return fault;
}

// A unit plugged in by a person: now and then one that already runs a current application, the
// kind that can stand in for the unit under update.
json PluggedUnit(Dice& dice) {
    if (!dice.Chance(0.5)) return Unit(dice);
    return {{"mode", "application"}, {"version", dice.Chance(0.7) ? "3.10" : "3.11"}};
}

// When a person acts: before the first look, during programming, around the reset and in the
// return wait that follows it (2,448 reports in a run from one unit), or long after, between
// runs.
void Moment(Dice& dice, json& event) {
    switch (dice.Between(0, 3)) {
        case 0:
            event["at_ms"] = dice.Chance(0.5) ? 0 : dice.Between(0, 20'000);
            break;
        case 1:
            event["after_reports"] = dice.Between(600, 1800);
            break;
        case 2:
            event["after_reports"] = dice.Between(2440, 2460);
            event["delay_ms"] = dice.Between(0, 8000);
            break;
        default:
            event["at_ms"] = dice.Between(20'000, 400'000);
            break;
    }
}

json Event(Dice& dice, long units) {
    json event;
    const long kind = dice.Between(0, 3);
    if (kind == 3 || units == 0) {
        event["action"] = "attach";
        event["unit"] = PluggedUnit(dice);
    } else {
        event["action"] = kind == 0 ? "unplug" : kind == 1 ? "plug" : "power_cycle";
        event["unit"] = dice.Between(0, units - 1);
    }
    Moment(dice, event);
    return event;
}

// A unit that this program has flashed, and that comes back in its application without the
// reset reaching it: taken away after its verification (2,447 reports in a run from one unit)
// and plugged back before, during or after the reset's search for it; restarted by a power
// cycle during its verification; or, between runs, swapped for a unit that runs a current
// application.
json FlashedUnitBackOnItsOwn(Dice& dice) {
    json events = json::array();
    switch (dice.Between(0, 2)) {
        case 0: {
            const long gone = dice.Between(0, 1500);
            static constexpr long kBack[][2] = {{0, 1500}, {2000, 200'000}, {200'000, 420'000}};
            const auto& back = dice.Pick(kBack);
            events.push_back(
                {{"action", "unplug"}, {"unit", 0}, {"after_reports", 2447}, {"delay_ms", gone}});
            events.push_back({{"action", "plug"},
                              {"unit", 0},
                              {"after_reports", 2447},
                              {"delay_ms", gone + dice.Between(back[0], back[1])}});
            break;
        }
        case 1:
            events.push_back({{"action", "power_cycle"},
                              {"unit", 0},
                              {"after_reports", dice.Between(1750, 2447)}});
            break;
        default: {
            const long gone = dice.Between(1'000, 150'000);
            events.push_back({{"action", "unplug"}, {"unit", 0}, {"at_ms", gone}});
            events.push_back({{"action", "attach"},
                              {"unit", {{"mode", "application"}, {"version", "3.10"}}},
                              {"at_ms", gone + dice.Between(1'000, 60'000)}});
            break;
        }
    }
    return events;
}

// A restart of the unit: mostly as quick as a real one, sometimes past what the run waits.
long Delay(Dice& dice) {
    if (dice.Chance(0.1)) return dice.Between(150'000, 260'000);
    return dice.Between(0, 6000);
}

}  // namespace

Draw DrawSession(std::uint64_t seed) {
    Dice dice(seed);
    json scenario;
    const long units = dice.Chance(0.05) ? 0 : dice.Chance(0.85) ? 1 : 2;
    scenario["units"] = json::array();
    for (long i = 0; i < units; ++i) scenario["units"].push_back(Unit(dice));
    if (dice.Chance(0.2)) {
        scenario["foreign_hid"] = json::array();
        for (long i = dice.Between(1, 2); i > 0; --i) {
            // Now and then one that shares the boot loader's vendor or product ID.
            const bool lookalike = dice.Chance(0.1);
            scenario["foreign_hid"].push_back(
                {{"vendor", lookalike && dice.Chance(0.5) ? 0x1232 : dice.Between(0, 0xFFFF)},
                 {"product", lookalike ? 0x0103 : dice.Between(0, 0xFFFF)}});
        }
    }
    scenario["boot_switch_delay_ms"] = Delay(dice);
    scenario["reset_delay_ms"] = Delay(dice);
    scenario["transfer_ms"] = dice.Chance(0.9) ? dice.Between(0, 2) : dice.Between(3, 60);
    scenario["faults"] = json::array();
    if (units > 0) {
        for (long i = dice.Between(0, 4); i > 0; --i) {
            json fault = Fault(dice, units);
            // A unit comes back with one version only: a second draw for it takes the first's.
            for (const json& earlier : scenario["faults"]) {
                if (fault["kind"] == "return_version" && earlier["kind"] == "return_version" &&
                    earlier["unit"] == fault["unit"]) {
                    fault["version"] = earlier["version"];
                }
            }
            scenario["faults"].push_back(std::move(fault));
        }
    }
    Draw draw;
    draw.scenario_json = scenario.dump(2);
    draw.force = dice.Chance(0.3);
    draw.clicks = static_cast<int>(dice.Between(1, 3));
    // Drawn last, so that the sessions without events are the ones drawn before events were.
    if (units > 0 && dice.Chance(0.06)) {
        // A swap at the bench: the unit under update taken away as it resets, and current
        // units plugged in while the tool waits for it. One for one, no count can tell.
        json events = json::array();
        events.push_back({{"action", "unplug"},
                          {"unit", 0},
                          {"after_reports", dice.Between(2446, 2450)},
                          {"delay_ms", dice.Between(0, 3000)}});
        for (long i = dice.Between(1, 2); i > 0; --i) {
            events.push_back({{"action", "attach"},
                              {"unit", {{"mode", "application"}, {"version", "3.10"}}},
                              {"after_reports", 2448},
                              {"delay_ms", dice.Between(0, 8000)}});
        }
        scenario["events"] = std::move(events);
        draw.scenario_json = scenario.dump(2);
    } else if (dice.Chance(0.3)) {
        scenario["events"] = json::array();
        long known = units;
        std::set<long> away;  // units an event before has taken away
        for (const json& fault : scenario["faults"]) {
            if (fault["kind"] == "unplug") away.insert(fault["unit"].get<long>());
        }
        for (long i = dice.Between(1, 3); i > 0; --i) {
            json event = Event(dice, known);
            if (event["action"] == "attach") ++known;
            if (event["action"] == "unplug") away.insert(event["unit"].get<long>());
            // A unit that nothing took away cannot be plugged in: the person switches it off
            // and on instead.
            if (event["action"] == "plug" && away.erase(event["unit"].get<long>()) == 0) {
                event["action"] = "power_cycle";
            }
            scenario["events"].push_back(std::move(event));
        }
        draw.scenario_json = scenario.dump(2);
    }
    // Drawn after everything else, so that every session drawn before is drawn as it was: a
    // unit this program flashed that comes back without its reset.
    if (units > 0 && !scenario.contains("events") && dice.Chance(0.08)) {
        scenario["events"] = FlashedUnitBackOnItsOwn(dice);
        draw.scenario_json = scenario.dump(2);
    }
    return draw;
}

}  // namespace qvt::campaign
