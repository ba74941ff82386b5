#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "exit_status.h"
#include "result.h"

namespace qvt::linux_app {

struct Options {
    bool simulate = false;
    std::optional<std::string> scenario_path;
    std::optional<std::string> log_path;
    std::optional<std::string> record_path;  // the session's trace, written as it goes
    std::optional<std::string> replay_path;  // a trace to run the session against
    bool virtual_time = false;
    bool force = false;
    int runs = 1;
    bool runs_given = false;
    bool console = false;
    bool json = false;     // the console's transcript as JSON Lines events
    bool station = false;  // unit after unit, until a signal or `units`
    std::optional<int> units;
    bool check = false;     // the start-up check alone, touching no unit
    bool progress = false;  // a line a second during each wait of a run
    bool help = false;
    bool version = false;
};

// One option of the command line: its name, the name of its value (empty for none) and what it
// does, in a line or two. The one table of them: --help is made from it, and a test holds the
// manual page (the command line's reference) to it.
struct OptionEntry {
    std::string_view name;
    std::string_view value;
    std::string_view help;
};
std::span<const OptionEntry> OptionTable();

// The options, or the one line that says what is wrong with the command line.
Result<Options> ParseOptions(const std::vector<std::string_view>& arguments);
// What --help shows.
std::string UsageText();

}  // namespace qvt::linux_app
