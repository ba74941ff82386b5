// Every test scenario recorded through the simulated unit and replayed from its trace: the
// replay shows the same transcript, byte for byte, with the same exit status; and recording
// changes no byte of what the session shows. A check's trace holds the proof that it touched no
// unit: no interface opened for reports, no report written, no command sent.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "replay_rig.h"

namespace qvt::linux_app {
namespace {

namespace fs = std::filesystem;

// The options each scenario runs with, as the golden transcripts name them: every scenario
// on the console and in --json; the examples and the twins' scenarios, whose faults are the
// field's, also with the force box, three clicks and as a station.
struct Variant {
    const char* name;
    std::vector<std::string_view> options;
    bool every_scenario;
};
const Variant kVariants[] = {
    {"console", {}, true},
    {"json", {"--json"}, true},
    {"force", {"--force"}, false},
    {"runs3", {"--runs", "3"}, false},
    {"station", {"--station"}, false},
    {"check", {"--check"}, true},
};

struct Case {
    const char* group;  // as the golden transcripts name it
    fs::path scenario;
    const Variant* variant;
};

std::vector<Case> AllCases() {
    std::vector<Case> cases;
    const std::pair<const char*, const char*> sources[] = {{"tests", "tests/golden/scenarios"},
                                                           {"docs", "docs/scenarios"},
                                                           {"twin", "tests/twin/scenarios"}};
    for (const auto& [group, folder] : sources) {
        std::vector<fs::path> scenarios;
        for (const auto& entry : fs::directory_iterator(fs::path(QVT_SOURCE_DIR) / folder)) {
            // A scenario that the reader refuses makes no session to record.
            if (entry.path().extension() == ".json" &&
                sim::LoadScenarioFile(entry.path().string())) {
                scenarios.push_back(entry.path());
            }
        }
        std::sort(scenarios.begin(), scenarios.end());
        for (const fs::path& scenario : scenarios) {
            for (const Variant& variant : kVariants) {
                if (variant.every_scenario || std::string_view(group) != "tests") {
                    cases.push_back({group, scenario, &variant});
                }
            }
        }
    }
    return cases;
}

class RoundTrip : public ::testing::TestWithParam<Case> {};

TEST_P(RoundTrip, TheReplayShowsWhatTheRecordedSessionShowed) {
    const Case& c = GetParam();
    const std::string path = c.scenario.string();
    std::vector<std::string_view> arguments = {"--console", "--virtual-time", "--scenario", path};
    arguments.insert(arguments.end(), c.variant->options.begin(), c.variant->options.end());
    const Session recorded = Recorded(arguments);
    ASSERT_FALSE(recorded.trace.empty()) << recorded.err;
    if (std::string_view(c.variant->name) == "check") {
        const auto trace = trace::ParseTrace(recorded.trace);
        ASSERT_TRUE(trace) << trace.error();
        for (const trace::Call& call : (*trace).calls) {
            EXPECT_NE(call.kind, trace::CallKind::kHidOpen) << path;
            EXPECT_NE(call.kind, trace::CallKind::kHidWrite) << path;
            if (call.kind == trace::CallKind::kDriverIoctl) {
                EXPECT_NE(call.code, IOCTL_QVT_COMMAND) << path;
            }
        }
    }

    const bool json = std::string_view(c.variant->name) == "json";
    const Session replayed = Replayed(recorded.trace, json ? std::vector<std::string_view>{"--json"}
                                                           : std::vector<std::string_view>{});
    EXPECT_EQ(replayed.out, recorded.out);
    EXPECT_EQ(replayed.status, recorded.status);
    EXPECT_EQ(replayed.err, recorded.err);

    // Recording is invisible: the session shows what it shows unrecorded, which the golden
    // transcripts hold (and golden_transcripts holds to the program).
    const fs::path golden = fs::path(QVT_SOURCE_DIR) / "tests/golden/transcripts" / c.group /
                            (c.scenario.stem().string() + "." + c.variant->name + ".txt");
    std::ifstream file(golden, std::ios::binary);
    const std::string kept((std::istreambuf_iterator<char>(file)), {});
    EXPECT_EQ(recorded.out + "--- stderr\n" + recorded.err + "--- exit " +
                  std::to_string(recorded.status) + "\n",
              kept)
        << golden;
}

INSTANTIATE_TEST_SUITE_P(
    EveryScenario, RoundTrip, ::testing::ValuesIn(AllCases()), [](const auto& info) {
        std::string name = info.param.scenario.stem().string() + "_" + info.param.variant->name;
        std::replace_if(
            name.begin(), name.end(),
            [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
        return name;
    });

}  // namespace
}  // namespace qvt::linux_app
