// qvt-campaign: runs the updater against randomly drawn simulated units, in virtual time, and
// checks after every click that it never reports an update that did not happen.
//
//   qvt-campaign [--seeds N] [--first SEED] [--out DIR] [--expect TABLE] [--list]
//
// --list prints each seed's ending on a line of its own, and writes every seed's scenario to DIR,
// for comparing two builds seed by seed.
// A violation prints its seed and writes its scenario to DIR, with the command that replays it.
// With --expect, the outcome table must be the one in the file, line for line: safety alone
// would not notice a change that makes every run fail, or no unit start.
#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
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
    std::string expect;
    bool list = false;
    for (int i = 1; i < argc; ++i) {
        const bool has_value = i + 1 < argc;
        if (std::strcmp(argv[i], "--seeds") == 0 && has_value && Number(argv[i + 1], seeds)) {
            ++i;
        } else if (std::strcmp(argv[i], "--first") == 0 && has_value &&
                   Number(argv[i + 1], first)) {
            ++i;
        } else if (std::strcmp(argv[i], "--out") == 0 && has_value) {
            out = argv[++i];
        } else if (std::strcmp(argv[i], "--expect") == 0 && has_value) {
            expect = argv[++i];
        } else if (std::strcmp(argv[i], "--list") == 0) {
            list = true;
        } else {
            std::fputs(
                "usage: qvt-campaign [--seeds N] [--first SEED] [--out DIR] [--expect TABLE] "
                "[--list]\n",
                stderr);
            return 64;
        }
    }
    using namespace qvt::campaign;
    std::array<long, kEndings> counts{};
    long violating = 0, swapped = 0;
    for (std::uint64_t seed = first; seed < first + seeds; ++seed) {
        const Draw draw = DrawSession(seed);
        const SessionResult result = RunSession(draw);
        ++counts[static_cast<std::size_t>(result.ending)];
        if (list) {
            std::ofstream(out + "/campaign-seed-" + std::to_string(seed) + ".json")
                << draw.scenario_json << '\n';
            std::printf("seed %llu: %s%s\n", static_cast<unsigned long long>(seed),
                        EndingName(result.ending), result.swapped ? " (stand-in)" : "");
        }
        if (result.swapped) ++swapped;
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
    std::string table;
    auto line = [&table](const char* format, auto... values) {
        char text[128];
        std::snprintf(text, sizeof text, format, values...);
        table += text;
    };
    line("campaign: %llu seeds from %llu\n", static_cast<unsigned long long>(seeds),
         static_cast<unsigned long long>(first));
    line("  %-28s %7s %8s\n", "outcome", "runs", "share");
    for (int c = 0; c < kEndings; ++c) {
        if (counts[c] == 0 && static_cast<Ending>(c) == Ending::kOther) continue;
        line("  %-28s %7ld %7.1f %%\n", EndingName(static_cast<Ending>(c)), counts[c],
             100.0 * static_cast<double>(counts[c]) / static_cast<double>(seeds));
    }
    line("  of the completed, for a unit put in place of the updated one: %ld\n", swapped);
    line("  violations: %ld\n", violating);
    std::fputs(table.c_str(), stdout);
    if (!expect.empty()) {
        std::ifstream file(expect);
        std::ostringstream committed;
        committed << file.rdbuf();
        if (committed.str() != table) {
            std::printf(
                "the outcome table differs from the committed %s, which was:\n%s"
                "(if the change is meant, commit the table above there and say why)\n",
                expect.c_str(), committed.str().c_str());
            return 1;
        }
        std::printf("  the outcome table is the committed one (%s)\n", expect.c_str());
    }
    return violating == 0 ? 0 : 1;
}
