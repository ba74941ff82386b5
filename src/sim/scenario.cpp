#include "scenario.h"

#include <charconv>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <vector>

#include "firmware_layout.h"
#include "scenario_values.h"

namespace qvt::sim {
namespace {

using namespace reading;
Fault ParseFault(const json& object, const std::string& where, std::size_t unit_count) {
    if (!object.is_object()) Fail(where, "expected an object");
    if (!object.contains("kind") || !object.at("kind").is_string()) {
        Fail(where + ".kind", "missing or not a string");
    }
    const auto kind = object.at("kind").get<std::string>();
    constexpr long kMax = std::numeric_limits<int>::max();
    Fault fault;
    auto unit_index = [&] {
        const long unit = Integer(object, "unit", where, 0, kMax, 0);
        if (static_cast<std::size_t>(unit) >= unit_count) {
            Fail(where + ".unit", "no unit " + std::to_string(unit) + " in \"units\"");
        }
        return static_cast<int>(unit);
    };
    auto range = [&] {
        fault.from = Integer(object, "from", where, 1, kMax, 1);
        fault.count = Integer(object, "count", where, 0, kMax, -1);
    };
    if (kind == "ignore_boot_request" || kind == "stays_in_boot") {
        OnlyKeys(object, where, {"kind", "unit"});
        fault.kind =
            kind == "ignore_boot_request" ? FaultKind::kIgnoreBootRequest : FaultKind::kStaysInBoot;
        fault.unit = unit_index();
    } else if (kind == "version_query_fails" || kind == "short_version_reply") {
        OnlyKeys(object, where, {"kind", "unit", "after_reset"});
        fault.kind = kind == "version_query_fails" ? FaultKind::kVersionQueryFails
                                                   : FaultKind::kShortVersionReply;
        fault.unit = unit_index();
        if (object.contains("after_reset")) {
            if (!object.at("after_reset").is_boolean())
                Fail(where + ".after_reset", "expected true or false");
            fault.after_reset = object.at("after_reset").get<bool>();
        }
    } else if (kind == "refuse_writes" || kind == "failing_writes") {
        OnlyKeys(object, where, {"kind", "unit", "command", "from", "count"});
        fault.kind = kind == "refuse_writes" ? FaultKind::kRefuseWrites : FaultKind::kFailingWrites;
        fault.unit = unit_index();
        fault.command = ParseCommand(object, where);
        range();
    } else if (kind == "silent_reads") {
        OnlyKeys(object, where, {"kind", "unit", "from", "count"});
        fault.kind = FaultKind::kSilentReads;
        fault.unit = unit_index();
        range();
    } else if (kind == "late_reads") {
        OnlyKeys(object, where, {"kind", "unit", "from", "count", "delay_ms"});
        fault.kind = FaultKind::kLateReads;
        fault.unit = unit_index();
        range();
        fault.delay_ms =
            static_cast<std::uint32_t>(Integer(object, "delay_ms", where, 0, kMax, 100));
    } else if (kind == "stuck_byte") {
        OnlyKeys(object, where, {"kind", "unit", "address", "value"});
        fault.kind = FaultKind::kStuckByte;
        fault.unit = unit_index();
        if (!object.contains("address")) Fail(where + ".address", "missing");
        fault.address = HexWord(object, "address", where);
        if (fault.address >= kFlashSize) {
            Fail(where + ".address", "lies outside the flash (0x0000-0x5FFF)");
        }
        fault.value = static_cast<std::uint8_t>(Integer(object, "value", where, 0, 255, 0));
    } else if (kind == "unplug") {
        OnlyKeys(object, where, {"kind", "unit", "after_reports"});
        fault.kind = FaultKind::kUnplug;
        fault.unit = unit_index();
        if (!object.contains("after_reports")) Fail(where + ".after_reports", "missing");
        fault.after_reports = Integer(object, "after_reports", where, 0, kMax, 0);
    } else if (kind == "return_version") {
        OnlyKeys(object, where, {"kind", "unit", "version"});
        fault.kind = FaultKind::kReturnVersion;
        fault.unit = unit_index();
        fault.version = Version(object, "version", where);
    } else if (kind == "attach") {
        OnlyKeys(object, where, {"kind", "unit", "after_reports"});
        fault.kind = FaultKind::kAttach;
        if (!object.contains("after_reports")) Fail(where + ".after_reports", "missing");
        fault.after_reports = Integer(object, "after_reports", where, 0, kMax, 0);
        if (!object.contains("unit")) Fail(where + ".unit", "missing: the unit that is plugged in");
        fault.attached = ParseUnit(object.at("unit"), where + ".unit");
    } else {
        Fail(where + ".kind", "unknown fault kind " + Quoted(kind));
    }
    return fault;
}

// Every fault acts, the earliest of one kind first; two that would each make a unit do
// something else at once cannot both act, and are refused where the second one stands.
void RefuseWhatCannotActTogether(const std::vector<Fault>& faults) {
    for (std::size_t i = 0; i < faults.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            const Fault& a = faults[j];
            const Fault& b = faults[i];
            if (a.kind != b.kind || a.unit != b.unit) continue;
            const std::string where = "faults[" + std::to_string(i) + "]";
            const std::string other = " (faults[" + std::to_string(j) + "])";
            if (b.kind == FaultKind::kReturnVersion && a.version != b.version) {
                Fail(where + ".version", "unit " + std::to_string(b.unit) +
                                             " already comes back with another version" + other);
            }
            if (b.kind == FaultKind::kStuckByte && a.address == b.address && a.value != b.value) {
                Fail(where + ".value", "that cell of unit " + std::to_string(b.unit) +
                                           " is already stuck at another value" + other);
            }
        }
    }
}

Event ParseEvent(const json& object, const std::string& where, std::size_t unit_limit) {
    OnlyKeys(object, where, {"action", "unit", "at_ms", "after_reports", "delay_ms"});
    if (!object.contains("action") || !object.at("action").is_string()) {
        Fail(where + ".action", "missing or not a string");
    }
    const auto action = object.at("action").get<std::string>();
    static const std::pair<const char*, Event::Action> kActions[] = {
        {"unplug", Event::Action::kUnplug},
        {"plug", Event::Action::kPlug},
        {"power_cycle", Event::Action::kPowerCycle},
        {"attach", Event::Action::kAttach}};
    Event event;
    bool known = false;
    for (const auto& [name, value] : kActions) {
        if (action == name) {
            event.action = value;
            known = true;
        }
    }
    if (!known) {
        Fail(where + ".action",
             "unknown action " + Quoted(action) + " (unplug, plug, power_cycle or attach)");
    }
    if (!object.contains("unit")) Fail(where + ".unit", "missing");
    if (event.action == Event::Action::kAttach) {
        event.attached = ParseUnit(object.at("unit"), where + ".unit");
    } else {
        constexpr long kMax = std::numeric_limits<int>::max();
        const long unit = Integer(object, "unit", where, 0, kMax, 0);
        if (static_cast<std::size_t>(unit) >= unit_limit) {
            Fail(where + ".unit", "no unit " + std::to_string(unit) +
                                      " in \"units\" or among the units attached later");
        }
        event.unit = static_cast<int>(unit);
    }
    constexpr long kDay = 86'400'000;
    const bool at = object.contains("at_ms");
    const bool after = object.contains("after_reports");
    if (!at && !after) Fail(where, "needs either \"at_ms\" or \"after_reports\"");
    if (at && after) {
        Fail(where, "has both \"at_ms\" and \"after_reports\"; an event names its moment once");
    }
    if (at) {
        if (object.contains("delay_ms")) Fail(where + ".delay_ms", "goes with \"after_reports\"");
        event.at_ms = static_cast<std::uint64_t>(Integer(object, "at_ms", where, 0, kDay, 0));
    } else {
        event.after_reports =
            Integer(object, "after_reports", where, 0, std::numeric_limits<int>::max(), 0);
        event.delay_ms = static_cast<std::uint32_t>(Integer(object, "delay_ms", where, 0, kDay, 0));
    }
    return event;
}

Scenario Parse(const json& root) {
    OnlyKeys(root, "scenario",
             {"units", "foreign_hid", "boot_switch_delay_ms", "reset_delay_ms", "transfer_ms",
              "app_driver", "faults", "events"});
    Scenario scenario;
    if (root.contains("units")) {
        const json& units = root.at("units");
        ListOfAtMost(units, "units", kMaxUnits);
        scenario.units.clear();
        for (std::size_t i = 0; i < units.size(); ++i) {
            scenario.units.push_back(ParseUnit(units[i], "units[" + std::to_string(i) + "]"));
        }
    }
    if (root.contains("foreign_hid")) {
        const json& devices = root.at("foreign_hid");
        ListOfAtMost(devices, "foreign_hid", kMaxForeign);
        for (std::size_t i = 0; i < devices.size(); ++i) {
            const std::string where = "foreign_hid[" + std::to_string(i) + "]";
            OnlyKeys(devices[i], where, {"vendor", "product"});
            scenario.foreign_hid.push_back(
                {HexWord(devices[i], "vendor", where), HexWord(devices[i], "product", where)});
        }
    }
    constexpr long kDay = 86'400'000;
    scenario.boot_switch_delay_ms = static_cast<std::uint32_t>(
        Integer(root, "boot_switch_delay_ms", "scenario", 0, kDay, 2000));
    scenario.reset_delay_ms =
        static_cast<std::uint32_t>(Integer(root, "reset_delay_ms", "scenario", 0, kDay, 3000));
    // Beyond a second a transfer would outlast every bound the updater sets.
    scenario.transfer_ms =
        static_cast<std::uint32_t>(Integer(root, "transfer_ms", "scenario", 0, 1000, 1));
    if (root.contains("app_driver")) {
        if (!root.at("app_driver").is_boolean())
            Fail("scenario.app_driver", "expected true or false");
        scenario.app_driver = root.at("app_driver").get<bool>();
    }
    // A unit attached later has the next index, whether a fault or an event attaches it; a
    // fault may name it like any unit there from the start.
    auto attaching = [](const json& list, const char* key, const char* value) {
        std::size_t count = 0;
        if (list.is_array()) {
            for (const json& item : list)
                count += item.is_object() && item.value(key, json()) == value;
        }
        return count;
    };
    const json none = json::array();
    const json& faults = root.contains("faults") ? root.at("faults") : none;
    const json& events = root.contains("events") ? root.at("events") : none;
    const std::size_t units = scenario.units.size() + attaching(faults, "kind", "attach") +
                              attaching(events, "action", "attach");
    ListOfAtMost(faults, "faults", kMaxFaults);
    for (std::size_t i = 0; i < faults.size(); ++i) {
        scenario.faults.push_back(
            ParseFault(faults[i], "faults[" + std::to_string(i) + "]", units));
    }
    RefuseWhatCannotActTogether(scenario.faults);
    ListOfAtMost(events, "events", kMaxEvents);
    // A unit can be plugged in only once something has taken it away.
    std::set<int> away;
    for (const Fault& fault : scenario.faults) {
        if (fault.kind == FaultKind::kUnplug) away.insert(fault.unit);
    }
    for (std::size_t i = 0; i < events.size(); ++i) {
        const std::string where = "events[" + std::to_string(i) + "]";
        const Event event = ParseEvent(events[i], where, units);
        if (event.action == Event::Action::kUnplug) away.insert(event.unit);
        if (event.action == Event::Action::kPlug && away.erase(event.unit) == 0) {
            Fail(where, "unit " + std::to_string(event.unit) +
                            " is plugged in: no \"unplug\" of it comes before this \"plug\"");
        }
        scenario.events.push_back(event);
    }
    return scenario;
}

// Refuses, while the text is read, what the document model would otherwise take in silence:
// nesting past the bound (and the deep recursion it would cost later) and a key given twice
// in one object (the later one would win unseen). A pass of its own before the document is
// built: the library's reader with a callback looks through a container for dropped values
// each time one of its members ends, and took half a minute over a 1 MiB array of objects.
// Malformed text ends the pass, and JsonError reads it again to say where.
class ReadingRules final : public PassingReader {
  public:
    bool start_object(std::size_t) override {
        Deeper();
        keys_.emplace_back();
        return true;
    }
    bool key(string_t& key) override {
        if (!keys_.back().insert(key).second) {
            Fail("scenario", "key " + Quoted(key) + " given twice in one object");
        }
        return true;
    }
    bool end_object() override {
        keys_.pop_back();
        --depth_;
        return true;
    }
    bool start_array(std::size_t) override {
        Deeper();
        return true;
    }
    bool end_array() override {
        --depth_;
        return true;
    }

  private:
    void Deeper() {
        if (depth_ >= kMaxDepth) {
            Fail("scenario", "nested deeper than " + std::to_string(kMaxDepth) + " levels");
        }
        ++depth_;
    }

    int depth_ = 0;
    std::vector<std::set<std::string>> keys_;
};

}  // namespace

Result<Scenario> ParseScenario(std::string_view json_text) {
    if (json_text.size() > kMaxScenarioBytes) {
        return Result<Scenario>::Failure("larger than " + std::to_string(kMaxScenarioBytes >> 20) +
                                         " MiB");
    }
    // The JSON library takes a NUL for the end of its input, and would not see what follows.
    if (const auto nul = json_text.find('\0'); nul != std::string_view::npos) {
        return Result<Scenario>::Failure("malformed JSON at byte " + std::to_string(nul + 1) +
                                         ": a NUL byte");
    }
    json root;
    try {
        ReadingRules rules;
        if (!json::sax_parse(json_text, &rules))
            return Result<Scenario>::Failure(JsonError(json_text));
        root = json::parse(json_text);
    } catch (const ScenarioError& error) {
        return Result<Scenario>::Failure(error.message);
    } catch (const json::exception&) {
        // Malformed text, or valid syntax the library still refuses (a number beyond a double).
        return Result<Scenario>::Failure(JsonError(json_text));
    }
    try {
        return Parse(root);
    } catch (const ScenarioError& error) {
        return Result<Scenario>::Failure(error.message);
    }
}

}  // namespace qvt::sim
