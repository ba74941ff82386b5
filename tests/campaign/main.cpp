// qvt-campaign: runs the updater against randomly drawn simulated units, in virtual time, and
// checks after every click that it never reports an update that did not happen.
//
//   qvt-campaign [--seeds N] [--first SEED] [--out DIR]
//
// A violation prints its seed and writes its scenario to DIR, with the command that replays it.
#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "scenario_draw.h"
#include "session.h"

namespace {

bool Number(const char* text, std::uint64_t& value) {
    const char* end = text + std::strlen(text);
    return std::from_chars(text, end, value).ptr == end;
}

}  // namespace

int main(int argc, char** argv) {
    std::uint64_t seeds = 2000, first = 1;
    std::string out = ".";
    for (int i = 1; i < argc; ++i) {
        const bool has_value = i + 1 < argc;
        if (std::strcmp(argv[i], "--seeds") == 0 && has_value && Number(argv[i + 1], seeds)) {
            ++i;
        } else if (std::strcmp(argv[i], "--first") == 0 && has_value &&
                   Number(argv[i + 1], first)) {
            ++i;
        } else if (std::strcmp(argv[i], "--out") == 0 && has_value) {
            out = argv[++i];
        } else {
            std::fputs("usage: qvt-campaign [--seeds N] [--first SEED] [--out DIR]\n", stderr);
            return 64;
        }
    }
    using namespace qvt::campaign;
    std::array<long, kCauses> counts{};
    long violating = 0;
    for (std::uint64_t seed = first; seed < first + seeds; ++seed) {
        const Draw draw = DrawSession(seed);
        const SessionResult result = RunSession(draw);
        ++counts[static_cast<std::size_t>(result.cause)];
        if (result.violations.empty()) continue;
        ++violating;
        const std::string file = out + "/campaign-seed-" + std::to_string(seed) + ".json";
        std::ofstream(file) << draw.scenario_json << '\n';
        std::printf("VIOLATION at seed %llu:\n", static_cast<unsigned long long>(seed));
        for (const std::string& violation : result.violations) {
            std::printf("  %s\n", violation.c_str());
        }
        std::printf("  replay: qvt-update --console --scenario %s --virtual-time%s --runs %d\n",
                    file.c_str(), draw.force ? " --force" : "", draw.clicks);
    }
    std::printf("campaign: %llu seeds from %llu\n", static_cast<unsigned long long>(seeds),
                static_cast<unsigned long long>(first));
    std::printf("  %-28s %7s %8s\n", "outcome", "runs", "share");
    for (int c = 0; c < kCauses; ++c) {
        if (counts[c] == 0 && static_cast<Cause>(c) == Cause::kOther) continue;
        std::printf("  %-28s %7ld %7.1f %%\n", CauseName(static_cast<Cause>(c)), counts[c],
                    100.0 * static_cast<double>(counts[c]) / static_cast<double>(seeds));
    }
    std::printf("  violations: %ld\n", violating);
    return violating == 0 ? 0 : 1;
}
