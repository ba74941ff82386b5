#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "result.h"

namespace qvt::sim {

struct UnitSetup {
    enum class Mode { kApplication, kBoot };
    Mode mode = Mode::kApplication;
    // The version of the application in the unit's flash; none means erased flash.
    std::optional<std::uint16_t> version = 0x0300;
};

struct ForeignHid {
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
};

enum class FaultKind {
    kIgnoreBootRequest,
    kVersionQueryFails,
    kShortVersionReply,
    kRefuseWrites,
    kFailingWrites,
    kSilentReads,
    kLateReads,
    kStuckByte,
    kUnplug,
    kReturnVersion,
    kStaysInBoot,
    kAttach,
};

// Which boot-loader writes a write fault counts, by the report's command byte.
enum class CommandFilter { kErase, kProgram, kProgramEnd, kRead, kReset, kAny };

struct Fault {
    FaultKind kind = FaultKind::kIgnoreBootRequest;
    int unit = 0;
    CommandFilter command = CommandFilter::kAny;
    long from = 1;    // first affected occurrence, counted from 1 over the whole run
    long count = -1;  // how many; -1 for every one from `from` on
    std::uint32_t delay_ms = 0;
    std::uint32_t address = 0;
    std::uint8_t value = 0;
    long after_reports = 0;
    std::uint16_t version = 0;
    bool after_reset = false;  // the version faults: only once the unit has been reset
    UnitSetup attached;        // kAttach only

    bool Covers(long occurrence) const {
        return occurrence >= from && (count < 0 || occurrence < from + count);
    }
};

// What a person does to the units while the session goes on, at a moment of virtual time:
// pulls a cable, plugs it back, switches a unit off and on, plugs in another unit.
struct Event {
    enum class Action {
        kUnplug,      // the unit leaves the bus; its handles fail
        kPlug,        // the unit comes back powered up: into its application when a valid one
                      // is in flash, otherwise into its boot loader
        kPowerCycle,  // off and on at once, as kPlug
        kAttach,      // a new unit, `attached`, is plugged in
    };
    Action action = Action::kUnplug;
    int unit = 0;  // kUnplug, kPlug, kPowerCycle: the unit's index, in order of plugging in
    UnitSetup attached;
    // When: `at_ms` after the session began, or `delay_ms` after the moment that
    // `after_reports` reports in all have reached the units.
    std::optional<std::uint64_t> at_ms;
    long after_reports = -1;
    std::uint32_t delay_ms = 0;
};

struct Scenario {
    std::vector<UnitSetup> units{UnitSetup{}};
    std::vector<ForeignHid> foreign_hid;
    std::uint32_t boot_switch_delay_ms = 2000;
    std::uint32_t reset_delay_ms = 3000;
    // What every delivered write and every answered read costs: a full-speed interrupt
    // transfer takes at least one frame.
    std::uint32_t transfer_ms = 1;
    // False: a machine without the maker's application-mode driver, where no unit is ever
    // seen in application mode (the units still run their application and boot loader).
    bool app_driver = true;
    std::vector<Fault> faults;
    std::vector<Event> events;
};

// The largest scenario text that is read.
inline constexpr std::size_t kMaxScenarioBytes = 1024 * 1024;

// Either the scenario or a one-line message that names where the text is wrong.
Result<Scenario> ParseScenario(std::string_view json_text);
Result<Scenario> LoadScenarioFile(const std::string& path);

}  // namespace qvt::sim
