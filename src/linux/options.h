#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvt::linux_app {

enum ExitCode {
    kExitCompleted = 0,
    kExitRunFailed = 1,
    kExitNoUpdate = 2,  // the start-up check allowed no update: current, missing or several
    kExitImageError = 3,
    kExitUsage = 64,
    kExitSoftware = 70,     // an error that reached the top, shown as its box
    kExitSignalBase = 128,  // ended by a close signal while idle: 128 + the signal's number
};

struct Options {
    bool simulate = false;
    std::optional<std::string> scenario_path;
    std::optional<std::string> log_path;
    bool virtual_time = false;
    bool force = false;
    int runs = 1;
    bool runs_given = false;
    bool console = false;
    bool json = false;     // the console's transcript as JSON Lines events
    bool station = false;  // unit after unit, until a signal or `units`
    std::optional<int> units;
    bool help = false;
    bool version = false;
};

struct ParsedOptions {
    Options options;
    std::string error;  // empty when the command line is usable
};

ParsedOptions ParseOptions(const std::vector<std::string_view>& arguments);
extern const char* const kUsageText;

}  // namespace qvt::linux_app
