#include "twin_matrix.h"

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>

#include "exit_status.h"

namespace qvt::twin {
namespace {

std::string Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t bar; (bar = line.find('|', start)) != std::string::npos; start = bar + 1) {
        fields.push_back(Trimmed(std::string_view(line).substr(start, bar - start)));
    }
    fields.push_back(Trimmed(std::string_view(line).substr(start)));
    return fields;
}

}  // namespace

Result<std::vector<TwinCase>> LoadMatrix(const std::string& path) {
    using Cases = Result<std::vector<TwinCase>>;
    std::ifstream in(path);
    if (!in) return Cases::Failure(path + ": cannot be read");
    std::vector<TwinCase> cases;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.empty() || line[0] == '#') continue;
        const std::vector<std::string> f = Fields(line);
        const std::string where = path + ":" + std::to_string(number) + ": ";
        if (f.size() != 6) return Cases::Failure(where + "expected 6 fields apart by |");
        if (f[0] != "windows" && f[0] != "linux") {
            return Cases::Failure(where + "the platform is windows or linux, not " + f[0]);
        }
        if (f[4] != "" && f[4] != "long") return Cases::Failure(where + "\"long\" or nothing");
        // A status a run can end with: the program's own, none of the twin's or the shell's.
        if (f[5].size() != 1 || f[5][0] < '0' || f[5][0] > '9' ||
            ExitStatusName(f[5][0] - '0').empty()) {
            return Cases::Failure(where + "the expected exit is a status of 0 to 9");
        }
        cases.push_back({f[0], f[1], f[2], f[3], f[4] == "long", f[5][0] - '0'});
    }
    return cases;
}

int PrintCases(const std::string& matrix, std::string_view platform) {
    const auto cases = LoadMatrix(matrix);
    if (!cases) {
        std::fprintf(stderr, "twin: %s\n", cases.error().c_str());
        return 64;
    }
    for (const TwinCase& c : *cases) {
        if (c.platform != platform) continue;
        std::printf("%s|%s|%s|%s|%d\n", c.name.c_str(), c.scenario.c_str(), c.options.c_str(),
                    c.long_bound ? "long" : "", c.expected_exit);
    }
    return 0;
}

Result<std::string> AsLinuxBench(std::string_view scenario_json) {
    auto scenario = nlohmann::ordered_json::parse(scenario_json, nullptr, false);
    if (!scenario.is_object()) return Result<std::string>::Failure("not a scenario object");
    nlohmann::ordered_json bench = {{"app_driver", false}};
    for (auto& [key, value] : scenario.items()) {
        if (key == "units" && value.is_array()) {
            for (auto& unit : value) {
                if (unit.is_object()) unit["mode"] = "boot";
            }
        }
        if (key != "app_driver") bench[key] = value;
    }
    return bench.dump();
}

std::string LinuxBenchName(std::string_view scenario_file) {
    return "linux-" + std::string(scenario_file);
}

}  // namespace qvt::twin
