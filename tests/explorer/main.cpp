// qvt-explorer: plays every bench event a person makes at every step boundary of a run against
// the real core and the simulated units, and judges each case by the simulated world's truth.
//
//   qvt-explorer [--every K] [--slice I/N] [--only INDEX] [--out DIR] [--expect TABLE]
//
// --every K plays every Kth case of the space (1, the default, plays it all); --slice I/N
// plays the Ith of N interleaved slices (for running it on several cores). A violation prints
// the case, its index and the command that replays its scenario, written to DIR. With
// --expect, the verdict counts must be the committed ones, line for line.
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "bench_space.h"
#include "explore_case.h"

namespace {

bool Number(std::string_view text, std::size_t& value) {
    return std::from_chars(text.data(), text.data() + text.size(), value).ptr ==
           text.data() + text.size();
}

int Usage() {
    std::fputs(
        "usage: qvt-explorer [--every K] [--slice I/N] [--only INDEX] [--out DIR] "
        "[--expect TABLE]\n",
        stderr);
    return 64;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t every = 1, slice = 0, slices = 1;
    std::optional<std::size_t> only;
    std::string out = ".", expect;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        const bool has_value = i + 1 < argc;
        std::string_view value = has_value ? argv[i + 1] : "";
        std::size_t number = 0;
        if (option == "--every" && Number(value, every) && every > 0) {
            ++i;
        } else if (option == "--slice" && value.find('/') != value.npos &&
                   Number(value.substr(0, value.find('/')), slice) &&
                   Number(value.substr(value.find('/') + 1), slices) && slice < slices) {
            ++i;
        } else if (option == "--only" && Number(value, number)) {
            only = number;
            ++i;
        } else if (option == "--out" && has_value) {
            out = argv[++i];
        } else if (option == "--expect" && has_value) {
            expect = argv[++i];
        } else {
            return Usage();
        }
    }
    using namespace qvt::explorer;
    const auto began = std::chrono::steady_clock::now();
    const std::vector<Case> space = Space();
    std::map<std::string, long> endings;
    long played = 0, violating = 0, clicks = 0;
    for (std::size_t index = 0; index < space.size(); ++index) {
        if (only ? index != *only : index % every != 0 || (index / every) % slices != slice) {
            continue;
        }
        const Case& c = space[index];
        const CaseResult result = RunCase(c, only.has_value());
        for (const std::string& line : result.transcript) std::printf("| %s\n", line.c_str());
        ++played;
        clicks += result.clicks;
        ++endings[result.ending];
        if (result.violations.empty()) continue;
        ++violating;
        const std::string file = out + "/explorer-case-" + std::to_string(index) + ".json";
        std::ofstream(file) << result.scenario << '\n';
        std::printf("VIOLATION in case %zu: %s\n", index, c.Name().c_str());
        for (const std::string& violation : result.violations) {
            std::printf("  %s\n", violation.c_str());
        }
        std::printf("  replay: qvt-update --console%s --scenario %s --virtual-time --runs 4\n",
                    c.station ? " --station" : "", file.c_str());
    }
    std::ostringstream table;
    table << "explorer: " << played << " of " << space.size() << " cases\n";
    for (const auto& [ending, count] : endings) table << "  " << count << "  " << ending << "\n";
    table << "  violations: " << violating << "\n";
    std::fputs(table.str().c_str(), stdout);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::printf("  %ld clicks in %.1f s\n", clicks, seconds);
    if (!expect.empty()) {
        std::ifstream file(expect);
        std::ostringstream committed;
        committed << file.rdbuf();
        if (committed.str() != table.str()) {
            std::printf(
                "the verdict counts differ from the committed %s, which were:\n%s"
                "(if the change is meant, commit the counts above there and say why)\n",
                expect.c_str(), committed.str().c_str());
            return 1;
        }
        std::printf("  the verdict counts are the committed ones (%s)\n", expect.c_str());
    }
    return violating == 0 ? 0 : 1;
}
