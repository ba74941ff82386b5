#pragma once

// The twins' matrix (tests/twin/matrix.txt): each platform's cases and how each must end, as
// the twin programs read it; and a Windows scenario as a Linux bench meets it.
#include <string>
#include <string_view>
#include <vector>

#include "result.h"

namespace qvt::twin {

struct TwinCase {
    std::string platform;  // "windows" or "linux"
    std::string name;
    std::string scenario;  // a file of tests/twin/scenarios
    std::string options;   // the program's, blank-separated
    bool long_bound = false;
    int expected_exit = 0;
};

// Every case of the file, in its order; or the line that is not a case.
Result<std::vector<TwinCase>> LoadMatrix(const std::string& path);

// Prints the platform's cases, a line each: name|scenario|options|long|expected. 0, or 64 with
// the reason on stderr when the matrix cannot be read.
int PrintCases(const std::string& matrix, std::string_view platform);

// The scenario text as a Linux bench meets it: the maker's driver is not there, and each unit
// starts in its boot loader, where a person puts it before a Linux program can reach it.
// Everything else stays as the scenario says.
Result<std::string> AsLinuxBench(std::string_view scenario_json);

// The name under which the Linux bench's form of a scenario file is known: "linux-NAME".
std::string LinuxBenchName(std::string_view scenario_file);

}  // namespace qvt::twin
