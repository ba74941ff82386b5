// The floor of a real-time `qvt-update --console --simulate [OPTIONS]`: the same session run
// in virtual time, whose clock adds up exactly the waits that the procedures mandate and the
// scenario's transfer time, and nothing else. Prints it in milliseconds.
#include <cstdio>
#include <sstream>
#include <string_view>
#include <vector>

#include "backend.h"
#include "options.h"
#include "sessions.h"

using namespace qvt::linux_app;

int main(int argc, char** argv) {
    std::vector<std::string_view> arguments = {"--console", "--simulate", "--virtual-time"};
    arguments.insert(arguments.end(), argv + 1, argv + argc);
    const auto options = ParseOptions(arguments);
    if (!options) {
        std::fprintf(stderr, "qvt-session-floor: %s\n", options.error().c_str());
        return 64;
    }
    auto backend = Backend::Create(*options);
    if (!backend) {
        std::fprintf(stderr, "qvt-session-floor: %s\n", backend.error().c_str());
        return 64;
    }
    std::ostringstream out, errors;
    RunConsole(*options, **backend, out, errors);
    std::printf("%llu\n", static_cast<unsigned long long>((*backend)->world()->clock().NowMs()));
    return 0;
}
