// qvt-update: the Linux build of the QVT-40 R3 updater.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string_view>
#include <vector>

#include "backend.h"
#include "options.h"
#include "sessions.h"
#include "texts.h"

using namespace qvt::linux_app;

int main(int argc, char** argv) {
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
    // The log file first: one that cannot be opened stops everything before it starts.
    std::ofstream log;
    if (options.log_path) {
        log.open(*options.log_path, std::ios::out | std::ios::trunc | std::ios::binary);
        if (!log) {
            std::cerr << "qvt-update: cannot open the log file " << *options.log_path << ": "
                      << std::strerror(errno) << '\n';
            return kExitUsage;
        }
    }
    std::ostream* log_stream = options.log_path ? &log : nullptr;
    std::string error;
    auto backend = Backend::Create(options, error);
    if (!backend) {
        std::cerr << "qvt-update: " << error << '\n';
        return kExitUsage;
    }
#ifdef QVT_HAVE_GUI
    const bool has_display = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    if (!options.console && has_display) {
        return RunWindow(argc, argv, options, *backend, log_stream);
    }
#endif
    return RunConsole(options, *backend, std::cout, std::cerr, log_stream);
}
