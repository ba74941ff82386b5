// qvt-update: the Linux build of the QVT-40 R3 updater.
#include <cstdlib>
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
    std::string error;
    auto backend = Backend::Create(options, error);
    if (!backend) {
        std::cerr << "qvt-update: " << error << '\n';
        return kExitUsage;
    }
#ifdef QVT_HAVE_GUI
    const bool has_display = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    if (!options.console && has_display) return RunWindow(argc, argv, options, *backend);
#endif
    return RunConsole(options, *backend, std::cout, std::cerr);
}
