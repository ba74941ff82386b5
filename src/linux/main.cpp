// qvt-update: the Linux build of the QVT-40 R3 updater.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string_view>
#include <vector>

#include "backend.h"
#include "launch_checks.h"
#include "options.h"
#include "sessions.h"
#include "texts.h"

using namespace qvt::linux_app;

int main(int argc, char** argv) {
    MakeStandardDescriptorsValid();
    std::vector<std::string_view> arguments(argv + 1, argv + argc);
    const ParsedOptions parsed = ParseOptions(arguments);
    if (!parsed.error.empty()) {
        std::cerr << "qvt-update: " << parsed.error << '\n';
        return kExitUsage;
    }
    const Options& options = parsed.options;
    if (options.help) {
        std::cout << kUsageText;
        return kExitCompleted;
    }
    if (options.version) {
        std::cout << qvt::text::kTitle << '\n';
        return kExitCompleted;
    }
    // Everything the user named is checked before the log file is opened: a session that
    // cannot start never truncates it.
    std::string error;
    auto backend = Backend::Create(options, error);
    if (!backend) {
        std::cerr << "qvt-update: " << error << '\n';
        return kExitUsage;
    }
    std::ofstream log;
    std::optional<LogTarget> log_target;
    if (options.log_path) {
        if (const auto refusal = LogPathRefusal(*options.log_path, options)) {
            std::cerr << "qvt-update: " << *refusal << '\n';
            return kExitUsage;
        }
        log.open(*options.log_path, std::ios::out | std::ios::trunc | std::ios::binary);
        if (!log) {
            std::cerr << "qvt-update: cannot open the log file " << *options.log_path << ": "
                      << std::strerror(errno) << '\n';
            return kExitUsage;
        }
        log_target.emplace(LogTarget{log, "the log file " + *options.log_path});
    }
    const LogTarget* log_to = log_target ? &*log_target : nullptr;
#ifdef QVT_HAVE_GUI
    const bool has_display = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    if (!options.console && has_display) {
        if (const auto problem = DisplayProblem()) {
            std::cerr << "qvt-update: " << *problem << "; using the console\n";
        } else {
            return RunWindow(argc, argv, options, *backend, log_to);
        }
    }
#endif
    return RunConsole(options, *backend, std::cout, std::cerr, log_to);
}
