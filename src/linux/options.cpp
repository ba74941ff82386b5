#include "options.h"

#include <algorithm>
#include <charconv>

namespace qvt::linux_app {
namespace {

// The help texts break their lines where --help does.
constexpr OptionEntry kOptions[] = {
    {"--simulate", "", "update a simulated unit (default: one unit at 3.00 in application mode)"},
    {"--scenario", "FILE",
     "the simulated unit(s) and faults, as a JSON scenario; implies --simulate"},
    {"--virtual-time", "", "with the simulator only: every wait takes no real time"},
    {"--force", "", "tick the force box once the start-up check has run"},
    {"--runs", "N",
     "click Start by itself whenever it is enabled, up to N times (default 1;\n"
     "in the window only when given)"},
    {"--console", "", "print every change of the window on stdout instead of showing it"},
    {"--log", "FILE", "write the log record there as the session goes (time-stamped)"},
    {"--json", "",
     "on the console, one JSON object per event (JSON Lines) instead of\n"
     "the transcript's lines; implies --console"},
    {"--station", "",
     "update unit after unit: wait for one, update it, wait until it is\n"
     "unplugged, print one record per unit; implies --console"},
    {"--units", "N", "with --station: end after N units"},
    {"--check", "",
     "only look: each unit's mode and version, and whether an update would\n"
     "run; sends nothing to a unit (exit 2, 4, 5, 7 or 9); implies --console"},
    {"--progress", "",
     "on the console, once a second during each wait of a run: what it\n"
     "waits for, how long so far, the typical time and the limit"},
    {"--record", "FILE",
     "write the session's trace there as it goes (every exchange with the\n"
     "units, JSON Lines); FILE is never overwritten unless it is a trace"},
    {"--replay", "FILE",
     "run the session against a trace instead of units, in its virtual time;\n"
     "stops at the first call that differs (exit 8)"},
    {"--help", "", "show this text"},
    {"--version", "", "show the firmware version this tool installs"},
};

const OptionEntry* Find(std::string_view name) {
    for (const OptionEntry& entry : kOptions) {
        if (entry.name == name) return &entry;
    }
    return nullptr;
}

}  // namespace

std::span<const OptionEntry> OptionTable() {
    return kOptions;
}

namespace {

// Each status and its name, as the manual's table has them.
std::string ExitStatusLines() {
    std::string lines;
    for (const ExitStatusEntry& entry : ExitStatusTable()) {
        const int code = Code(entry.status);
        std::string number = code == Code(ExitStatus::kSignalBase) ? "128+N" : std::to_string(code);
        number.resize(6, ' ');
        lines += "  " + number + std::string(entry.name) + "\n";
    }
    return lines;
}

}  // namespace

std::string UsageText() {
    std::string text = "usage: qvt-update [options]\nBrings a QVT-40 R3 up to firmware 3.10.\n\n";
    constexpr std::size_t kColumn = 22;
    for (const OptionEntry& entry : kOptions) {
        // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on "literal" + string.
        std::string head = "  ";
        head += entry.name;
        if (!entry.value.empty()) head.append(" ").append(entry.value);
        head.resize(std::max(head.size() + 1, kColumn), ' ');
        std::string help(entry.help);
        for (std::size_t at = help.find('\n'); at != std::string::npos;
             at = help.find('\n', at + 1)) {
            help.insert(at + 1, kColumn, ' ');
        }
        text += head + help + "\n";
    }
    text +=
        "\n"
        "Each option may be given once.\n"
        "Exit status (console):\n" +
        ExitStatusLines() +
        "A station ends with a summary: 0 no unit failed, 1 a unit failed, 2 no unit came.\n"
        "While a run is on, every signal that would end the program is refused as the window\n"
        "refuses to close. See qvt-update(1).\n";
    return text;
}

Result<Options> ParseOptions(const std::vector<std::string_view>& arguments) {
    Options o;
    auto fail = [](std::string message) { return Result<Options>::Failure(std::move(message)); };
    // Each option at most once: a second value would silently win over the first (a second
    // --scenario read instead of the one a --log was checked against, say).
    std::vector<std::string_view> given;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string_view argument = arguments[i];
        std::optional<std::string_view> inline_value;
        if (const auto equals = argument.find('=');
            argument.rfind("--", 0) == 0 && equals != std::string_view::npos) {
            inline_value = argument.substr(equals + 1);
            argument = argument.substr(0, equals);
        }
        const OptionEntry* entry = Find(argument);
        if (!entry)
            return fail("unknown option \"" + std::string(arguments[i]) + "\" (see --help)");
        if (std::find(given.begin(), given.end(), argument) != given.end()) {
            return fail(std::string(argument) + " is given twice (each option at most once)");
        }
        given.push_back(argument);
        if (inline_value && entry->value.empty()) {
            return fail("option " + std::string(argument) + " takes no value");
        }
        auto value = [&]() -> std::optional<std::string_view> {
            if (inline_value) return inline_value;
            if (i + 1 < arguments.size()) return arguments[++i];
            return std::nullopt;
        };
        // A whole number of at least 1 for the option at hand; nothing, with `count_error` set,
        // for anything else.
        std::string count_error;
        auto count = [&](std::optional<std::string_view> text) -> std::optional<int> {
            const std::string name(argument);
            if (!text) {
                count_error = name + " needs a number";
                return std::nullopt;
            }
            int number = 0;
            const auto [end, error] =
                std::from_chars(text->data(), text->data() + text->size(), number);
            if (error != std::errc() || end != text->data() + text->size() || number < 1) {
                count_error = name + " needs a whole number of at least 1, not \"" +
                              std::string(*text) + "\"";
                return std::nullopt;
            }
            return number;
        };

        if (argument == "--simulate") {
            o.simulate = true;
        } else if (argument == "--scenario") {
            const auto path = value();
            if (!path || path->empty()) return fail("--scenario needs a file");
            o.scenario_path = std::string(*path);
            o.simulate = true;
        } else if (argument == "--log") {
            const auto path = value();
            if (!path || path->empty()) return fail("--log needs a file");
            // `--log --json` would take the option for the file's name, and "-" is not standard
            // output here: a file whose name begins with "-" is named from its folder.
            if (path->front() == '-') {
                return fail("--log needs a file, not \"" + std::string(*path) +
                            "\" (a file of that name is ./" + std::string(*path) + ")");
            }
            o.log_path = std::string(*path);
        } else if (argument == "--record" || argument == "--replay") {
            const auto path = value();
            if (!path || path->empty()) return fail(std::string(argument) + " needs a file");
            (argument == "--record" ? o.record_path : o.replay_path) = std::string(*path);
        } else if (argument == "--virtual-time") {
            o.virtual_time = true;
        } else if (argument == "--force") {
            o.force = true;
        } else if (argument == "--runs") {
            const auto runs = count(value());
            if (!runs) return fail(count_error);
            o.runs = *runs;
            o.runs_given = true;
        } else if (argument == "--console") {
            o.console = true;
        } else if (argument == "--json") {
            o.json = true;
        } else if (argument == "--station") {
            o.station = true;
        } else if (argument == "--units") {
            o.units = count(value());
            if (!o.units) return fail(count_error);
        } else if (argument == "--check") {
            o.check = true;
        } else if (argument == "--progress") {
            o.progress = true;
        } else if (argument == "--help") {
            o.help = true;
        } else {
            o.version = true;
        }
    }
    if (o.replay_path) {
        // The trace holds the session: the units and the clicks; its time is virtual.
        for (const std::string_view option :
             {"--simulate", "--scenario", "--force", "--runs", "--station", "--units", "--check"}) {
            if (std::find(given.begin(), given.end(), option) != given.end()) {
                return fail(std::string(option) +
                            " does not go with --replay (the trace holds the session)");
            }
        }
        o.console = o.virtual_time = true;
        return o;
    }
    if (o.virtual_time && !o.simulate) {
        return fail("--virtual-time works only with --simulate or --scenario");
    }
    if (o.units && !o.station) return fail("--units works only with --station");
    if (o.station && o.runs_given) return fail("--runs does not go with --station");
    if (o.check) {
        // A look changes nothing, so nothing that would act goes with it.
        for (const std::string_view option : {"--force", "--runs", "--station"}) {
            if (std::find(given.begin(), given.end(), option) != given.end()) {
                return fail(std::string(option) + " does not go with --check (a check only looks)");
            }
        }
    }
    if (o.progress && o.json) {
        return fail("--progress does not go with --json (its phase events say the same)");
    }
    if (o.json || o.station || o.check || o.progress) o.console = true;
    return o;
}

}  // namespace qvt::linux_app
