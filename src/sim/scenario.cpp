#include "scenario.h"

#include <fstream>
#include <initializer_list>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>

#include "firmware_layout.h"
#include "version_text.h"

namespace qvt::sim {
namespace {

using nlohmann::json;

// Raised inside the parser only, and turned into the result's message at its edge.
struct ScenarioError {
    std::string message;
};

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
    throw ScenarioError{where + ": " + what};
}

// A scenario describes a bench, not a warehouse: every list is bounded, so that no file can
// make the simulator allocate without end.
constexpr std::size_t kMaxUnits = 16;
constexpr std::size_t kMaxForeign = 64;
constexpr std::size_t kMaxFaults = 64;

void ListOfAtMost(const json& list, const std::string& where, std::size_t most) {
    if (!list.is_array()) Fail(where, "expected an array");
    if (list.size() > most) Fail(where, "at most " + std::to_string(most) + " entries");
}

void OnlyKeys(const json& object, const std::string& where,
              std::initializer_list<std::string_view> allowed) {
    if (!object.is_object()) Fail(where, "expected an object");
    for (const auto& [key, value] : object.items()) {
        bool known = false;
        for (auto name : allowed) known = known || key == name;
        if (!known) Fail(where, "unknown key \"" + key + "\"");
    }
}

long Integer(const json& object, const char* key, const std::string& where, long minimum,
             long maximum, long fallback) {
    if (!object.contains(key)) return fallback;
    const json& value = object.at(key);
    const std::string at = where + "." + key;
    if (!value.is_number_integer()) Fail(at, "expected a whole number");
    const auto number = value.get<long long>();
    if (number < minimum || number > maximum) {
        Fail(at, "must lie between " + std::to_string(minimum) + " and " + std::to_string(maximum));
    }
    return static_cast<long>(number);
}

std::uint16_t HexWord(const json& object, const char* key, const std::string& where) {
    const std::string at = where + "." + key;
    if (!object.contains(key)) Fail(at, "missing");
    const json& value = object.at(key);
    if (value.is_number_integer()) {
        const auto number = value.get<long long>();
        if (number < 0 || number > 0xFFFF) Fail(at, "must lie between 0 and 0xFFFF");
        return static_cast<std::uint16_t>(number);
    }
    if (!value.is_string()) Fail(at, "expected a hexadecimal string such as \"0x1232\"");
    const auto text = value.get<std::string>();
    std::size_t used = 0;
    unsigned long number = 0;
    try {
        number = std::stoul(text, &used, 16);
    } catch (...) {
        used = 0;
    }
    if (used != text.size() || text.empty() || number > 0xFFFF) {
        Fail(at, "\"" + text + "\" is not a 16-bit hexadecimal number");
    }
    return static_cast<std::uint16_t>(number);
}

std::uint16_t Version(const json& object, const char* key, const std::string& where) {
    const std::string at = where + "." + key;
    if (!object.contains(key)) Fail(at, "missing");
    const json& value = object.at(key);
    if (!value.is_string()) Fail(at, "expected a version such as \"3.10\"");
    const auto parsed = ParseVersion(value.get<std::string>());
    if (!parsed) Fail(at, "\"" + value.get<std::string>() + "\" is not a version such as \"3.10\"");
    return *parsed;
}

UnitSetup ParseUnit(const json& object, const std::string& where) {
    OnlyKeys(object, where, {"mode", "version"});
    UnitSetup unit;
    if (!object.contains("mode")) Fail(where + ".mode", "missing");
    const json& mode = object.at("mode");
    if (mode == "application") {
        unit.mode = UnitSetup::Mode::kApplication;
    } else if (mode == "boot") {
        unit.mode = UnitSetup::Mode::kBoot;
    } else {
        Fail(where + ".mode", "expected \"application\" or \"boot\", not " + mode.dump());
    }
    if (object.contains("version")) {
        unit.version = Version(object, "version", where);
    } else if (unit.mode == UnitSetup::Mode::kBoot) {
        unit.version.reset();  // a unit found in its boot loader may have no application at all
    }
    return unit;
}

CommandFilter ParseCommand(const json& object, const std::string& where) {
    if (!object.contains("command")) return CommandFilter::kAny;
    const json& value = object.at("command");
    static const std::pair<const char*, CommandFilter> kNames[] = {
        {"erase", CommandFilter::kErase},
        {"program", CommandFilter::kProgram},
        {"program_end", CommandFilter::kProgramEnd},
        {"read", CommandFilter::kRead},
        {"reset", CommandFilter::kReset},
        {"any", CommandFilter::kAny}};
    for (const auto& [name, filter] : kNames) {
        if (value == name) return filter;
    }
    Fail(where + ".command",
         "unknown command " + value.dump() + " (erase, program, program_end, read, reset or any)");
}

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
        Fail(where + ".kind", "unknown fault kind \"" + kind + "\"");
    }
    return fault;
}

Scenario Parse(const json& root) {
    OnlyKeys(root, "scenario",
             {"units", "foreign_hid", "boot_switch_delay_ms", "reset_delay_ms", "transfer_ms",
              "app_driver", "faults"});
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
    if (root.contains("faults")) {
        const json& faults = root.at("faults");
        ListOfAtMost(faults, "faults", kMaxFaults);
        for (std::size_t i = 0; i < faults.size(); ++i) {
            scenario.faults.push_back(
                ParseFault(faults[i], "faults[" + std::to_string(i) + "]", scenario.units.size()));
        }
    }
    return scenario;
}

}  // namespace

ScenarioResult ParseScenario(std::string_view json_text) {
    json root;
    try {
        root = json::parse(json_text);
    } catch (const json::parse_error& error) {
        return std::string("malformed JSON at byte ") + std::to_string(error.byte) + ": " +
               error.what();
    } catch (const json::exception& error) {
        // Valid syntax the library still refuses, such as a number beyond a double.
        return std::string("unreadable JSON: ") + error.what();
    }
    try {
        return Parse(root);
    } catch (const ScenarioError& error) {
        return error.message;
    }
}

ScenarioResult LoadScenarioFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return "cannot read scenario file " + path;
    std::ostringstream text;
    text << file.rdbuf();
    auto result = ParseScenario(text.str());
    if (auto* message = std::get_if<std::string>(&result)) *message = path + ": " + *message;
    return result;
}

}  // namespace qvt::sim
