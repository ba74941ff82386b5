// What a user sees of every test scenario, held byte for byte: the console's transcript, its
// --json events and a station's, each with what went to the error stream and the exit status.
// A change that alters any of them fails here until scripts/golden records it again, and the
// diff of tests/golden/transcripts is what a reviewer reads.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "backend.h"
#include "options.h"
#include "sessions.h"
#include "twin_matrix.h"

namespace qvt::linux_app {
namespace {

namespace fs = std::filesystem;

// The options each scenario runs with, besides --console --virtual-time --scenario.
struct Variant {
    const char* name;
    std::vector<std::string_view> options;
};
const Variant kVariants[] = {
    {"console", {}},      {"force", {"--force"}},     {"runs3", {"--runs", "3"}},
    {"json", {"--json"}}, {"station", {"--station"}}, {"check", {"--check"}},
};

// Where the scenarios are kept, and the folder of transcripts each group's go to.
struct Source {
    const char* group;
    const char* folder;
};
const Source kSources[] = {
    {"tests", "tests/golden/scenarios"},
    {"docs", "docs/scenarios"},
    {"twin", "tests/twin/scenarios"},
};

struct Golden {
    std::string group;
    fs::path scenario;
    const Variant* variant;

    std::string Name() const { return scenario.stem().string() + "." + variant->name; }
    fs::path Transcript() const {
        return fs::path(QVT_SOURCE_DIR) / "tests/golden/transcripts" / group / (Name() + ".txt");
    }
};

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), {});
}

const std::string kMatrix = std::string(QVT_SOURCE_DIR) + "/tests/twin/matrix.txt";

// The twins' Linux scenarios: each Windows scenario of a Linux case of the matrix, as a Linux
// bench meets it, written where the program can read it (linux-NAME beside the build's tests).
std::vector<fs::path> LinuxBenchScenarios() {
    std::set<fs::path> written;
    const auto cases = twin::LoadMatrix(kMatrix);
    if (!cases) return {};  // TwinMatrix.ExpectsWhatTheSimulatedPortsGive says why
    const fs::path folder = fs::path(QVT_BINARY_DIR) / "linux-bench";
    fs::create_directories(folder);
    for (const twin::TwinCase& c : *cases) {
        if (c.platform != "linux") continue;
        const auto bench = twin::AsLinuxBench(
            ReadFile(fs::path(QVT_SOURCE_DIR) / "tests/twin/scenarios" / c.scenario));
        const fs::path path = folder / twin::LinuxBenchName(c.scenario);
        // Written aside and renamed into place: the other shards read these files meanwhile.
        const fs::path aside = path.string() + "." + std::to_string(getpid());
        std::ofstream(aside, std::ios::binary) << (bench ? *bench : "not a scenario");
        fs::rename(aside, path);
        written.insert(path);
    }
    return {written.begin(), written.end()};
}

std::vector<Golden> AllGoldens() {
    std::vector<Golden> goldens;
    for (const Source& source : kSources) {
        std::vector<fs::path> scenarios;
        for (const auto& entry : fs::directory_iterator(fs::path(QVT_SOURCE_DIR) / source.folder)) {
            if (entry.path().extension() == ".json") scenarios.push_back(entry.path());
        }
        if (std::string(source.group) == "twin") {
            for (const fs::path& bench : LinuxBenchScenarios()) scenarios.push_back(bench);
        }
        std::sort(scenarios.begin(), scenarios.end(),
                  [](const fs::path& a, const fs::path& b) { return a.filename() < b.filename(); });
        for (const fs::path& scenario : scenarios) {
            for (const Variant& variant : kVariants)
                goldens.push_back({source.group, scenario, &variant});
        }
    }
    return goldens;
}

// The transcript as it is kept: standard output, then the error stream and the exit status.
// A scenario the reader refuses is kept as the one line the program says of it, its path as the
// checkout names it.
std::string Record(const Golden& golden) {
    const std::string path = golden.scenario.string();
    std::vector<std::string_view> arguments = {"--console", "--virtual-time", "--scenario", path};
    arguments.insert(arguments.end(), golden.variant->options.begin(),
                     golden.variant->options.end());
    const auto options = ParseOptions(arguments);
    if (!options) return "--- usage: " + options.error() + "\n";
    std::string out = "--- stderr\n", err;
    int status = Code(ExitStatus::kUsage);
    if (auto backend = Backend::Create(*options)) {
        std::ostringstream transcript, errors;
        status = RunConsole(*options, **backend, transcript, errors);
        out = transcript.str() + out;
        err = errors.str();
    } else {
        const std::string relative = fs::relative(golden.scenario, QVT_SOURCE_DIR).string();
        err = backend.error();
        if (err.rfind(path, 0) == 0) err.replace(0, path.size(), relative);
        err = "qvt-update: " + err + "\n";
    }
    return out + err + "--- exit " + std::to_string(status) + "\n";
}

// QVT_GOLDEN_WRITE=1 records instead of comparing (scripts/golden).
bool Writing() {
    const char* write = std::getenv("QVT_GOLDEN_WRITE");
    return write && std::string(write) == "1";
}

class GoldenTranscript : public ::testing::TestWithParam<Golden> {};

TEST_P(GoldenTranscript, IsWhatTheProgramShows) {
    const Golden& golden = GetParam();
    const std::string now = Record(golden);
    if (Writing()) {
        fs::create_directories(golden.Transcript().parent_path());
        std::ofstream(golden.Transcript(), std::ios::binary) << now;
        return;
    }
    ASSERT_TRUE(fs::exists(golden.Transcript()))
        << golden.Transcript() << " is missing: record it with scripts/golden";
    EXPECT_EQ(now, ReadFile(golden.Transcript()))
        << golden.Transcript() << " differs: review the change, then record it with scripts/golden";
}

INSTANTIATE_TEST_SUITE_P(
    Every, GoldenTranscript, ::testing::ValuesIn(AllGoldens()), [](const auto& info) {
        std::string name = info.param.group + "_" + info.param.Name();
        std::replace_if(
            name.begin(), name.end(),
            [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
        return name;
    });

// A transcript whose scenario is gone is a check that no longer runs.
TEST(GoldenTranscripts, NoneIsLeftWithoutItsScenario) {
    std::set<fs::path> expected;
    for (const Golden& golden : AllGoldens()) expected.insert(golden.Transcript());
    for (const auto& entry :
         fs::recursive_directory_iterator(fs::path(QVT_SOURCE_DIR) / "tests/golden/transcripts")) {
        if (!entry.is_regular_file()) continue;
        if (Writing() && !expected.count(entry.path())) {
            fs::remove(entry.path());
            continue;
        }
        EXPECT_TRUE(expected.count(entry.path())) << entry.path() << " has no scenario";
    }
}

// The twins' matrix expects of each case what the simulated ports give: the exit status that
// its scenario's golden transcript holds, for the case's options (a Qt window's run is the
// console's).
TEST(TwinMatrix, ExpectsWhatTheSimulatedPortsGive) {
    const auto cases = twin::LoadMatrix(kMatrix);
    ASSERT_TRUE(cases) << cases.error();
    for (const twin::TwinCase& c : *cases) {
        SCOPED_TRACE(c.platform + ": " + c.name);
        const std::string variant = c.options == "--force"                       ? "force"
                                    : c.options == "--runs 3"                    ? "runs3"
                                    : c.options == "" || c.options == "--window" ? "console"
                                                                                 : "";
        ASSERT_NE(variant, "") << "no golden transcript runs with " << c.options;
        const std::string file =
            c.platform == "linux" ? twin::LinuxBenchName(c.scenario) : c.scenario;
        const std::string transcript =
            ReadFile(fs::path(QVT_SOURCE_DIR) / "tests/golden/transcripts/twin" /
                     (fs::path(file).stem().string() + "." + variant + ".txt"));
        const std::string exit = "--- exit " + std::to_string(c.expected_exit) + "\n";
        EXPECT_TRUE(transcript.size() >= exit.size() &&
                    transcript.compare(transcript.size() - exit.size(), exit.size(), exit) == 0)
            << transcript.substr(transcript.rfind("--- exit") == std::string::npos
                                     ? transcript.size()
                                     : transcript.rfind("--- exit"));
    }
}

}  // namespace
}  // namespace qvt::linux_app
