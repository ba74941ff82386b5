// Traces as tests: the committed ones replay to what they are expected to show; a trace that
// the program no longer matches stops at the first call that differs, with one report; a trace
// from another version is replayed leniently; a window's trace is replayed click for click.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>

#include "replay_rig.h"

namespace qvt::linux_app {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), {});
}

std::string Scenario(const char* name) {
    return std::string(QVT_SOURCE_DIR) + "/tests/twin/scenarios/" + name;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// --- the committed traces

std::vector<fs::path> CommittedTraces() {
    std::vector<fs::path> traces;
    for (const auto& entry : fs::directory_iterator(fs::path(QVT_SOURCE_DIR) / "tests/traces")) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 12 && name.substr(name.size() - 12) == ".trace.jsonl") {
            traces.push_back(entry.path());
        }
    }
    std::sort(traces.begin(), traces.end());
    return traces;
}

class CommittedTrace : public ::testing::TestWithParam<fs::path> {};

TEST_P(CommittedTrace, ReplaysToItsExpectedTranscriptAndStatus) {
    const fs::path& trace = GetParam();
    const std::string stem =
        trace.filename().string().substr(0, trace.filename().string().size() - 12);
    const fs::path expected = trace.parent_path() / (stem + ".expected.txt");
    ASSERT_TRUE(fs::exists(expected)) << expected << " is missing: record it with scripts/traces";
    const Session replayed = Replayed(ReadText(trace));
    EXPECT_EQ(replayed.out + "--- stderr\n" + replayed.err + "--- exit " +
                  std::to_string(replayed.status) + "\n",
              ReadText(expected))
        << trace << " no longer replays as it did: if the change is meant, scripts/traces";
}

INSTANTIATE_TEST_SUITE_P(Every, CommittedTrace, ::testing::ValuesIn(CommittedTraces()),
                         [](const auto& info) {
                             std::string name = info.param.stem().stem().string();
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// --- divergence

// The number of the first call on line `line` (from 1), as a report names it.
std::size_t CallOnLine(const std::string& text, std::size_t line) {
    const auto parsed = trace::ParseTrace(text);
    const auto& lines = parsed->lines;
    return static_cast<std::size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin()) +
           1;
}

// The index of the first line at or after `from` that holds `part`.
std::size_t Find(const std::vector<std::string>& lines, const std::string& part, std::size_t from) {
    for (std::size_t i = from; i < lines.size(); ++i) {
        if (Contains(lines[i], part)) return i;
    }
    throw std::runtime_error("no line of the trace holds " + part);
}

struct Edit {
    const char* name;
    // Edits the trace's lines; returns the index of the line the replay must stop at.
    std::function<std::size_t(std::vector<std::string>&)> apply;
    std::vector<std::string> report;  // what the report must say, beside where
};

TEST(Divergence, EachEditStopsTheReplayAtItsCallWithOneReport) {
    const Session recorded =
        Recorded({"--console", "--virtual-time", "--scenario", Scenario("app-happy.json")});
    const std::string program_data = "\"result\":\"completed\",\"bytes\":\"0005";  // programming
    const Edit edits[] = {
        {"one byte changed in a recorded write",
         [&](std::vector<std::string>& lines) {
             const std::size_t at = Find(lines, program_data, 0);
             const std::size_t digit = lines[at].find("\"bytes\":\"") + 9 + 2 * 10;  // byte 10
             lines[at][digit] = lines[at][digit] == 'f' ? 'e' : 'f';
             return at;
         },
         {"the trace holds hid_write(handle ", "; the program made hid_write(handle ",
          "the bytes differ from byte 10 on (0x"}},
        {"one reply dropped",
         [&](std::vector<std::string>& lines) {
             const std::size_t at =
                 Find(lines, "\"call\":\"hid_read\"", Find(lines, program_data, 0));
             lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(at));
             return at;
         },
         {"the trace holds hid_write(", "; the program made hid_read(handle ",
          "50 ms, room for 65)"}},
        {"one call moved",
         [&](std::vector<std::string>& lines) {
             // The end of the first listing, moved before the attributes asked of what it found.
             const std::size_t end = Find(lines, "\"path\":null", Find(lines, "hid_attributes", 0));
             std::swap(lines[end - 1], lines[end]);
             return end - 1;
         },
         {"the trace holds hid_path(index 1); the program made hid_attributes(handle "}},
    };
    for (const Edit& edit : edits) {
        std::vector<std::string> lines = Lines(recorded.trace);
        const std::size_t at = edit.apply(lines);
        const std::string edited = Joined(lines);
        const Session replayed = Replayed(edited);
        EXPECT_EQ(replayed.status, Code(ExitStatus::kReplayDiverged)) << edit.name;
        const std::string where = "replay diverged at call " +
                                  std::to_string(CallOnLine(edited, at + 1)) + " (line " +
                                  std::to_string(at + 1) + "): ";
        // One report, on the last line of the error stream.
        EXPECT_EQ(std::count(replayed.err.begin(), replayed.err.end(), '\n'), 1) << replayed.err;
        EXPECT_EQ(replayed.err.rfind("qvt-update: " + where, 0), 0u) << edit.name << "\n"
                                                                     << replayed.err;
        for (const std::string& part : edit.report) {
            EXPECT_TRUE(Contains(replayed.err, part)) << edit.name << ": " << part << "\n"
                                                      << replayed.err;
        }
        // The transcript up to the call, and nothing the session showed after it.
        EXPECT_LT(replayed.out.size(), recorded.out.size()) << edit.name;
        EXPECT_EQ(recorded.out.rfind(replayed.out, 0), 0u) << edit.name;
    }
}

TEST(Divergence, ASessionThatEndsOtherwiseThanItsTraceIsOne) {
    const Session recorded =
        Recorded({"--console", "--virtual-time", "--scenario", Scenario("current.json")});
    std::vector<std::string> lines = Lines(recorded.trace);
    lines.back() = R"({"outcome":"update completed","status":2})";
    const Session replayed = Replayed(Joined(lines));
    EXPECT_EQ(replayed.status, Code(ExitStatus::kReplayDiverged));
    EXPECT_EQ(replayed.err, "qvt-update: replay diverged at the outcome (line " +
                                std::to_string(lines.size()) +
                                "): the trace ends with \"update completed\"; the replayed session "
                                "ended with \"no update run\"\n");
    EXPECT_EQ(replayed.out, recorded.out);  // all of it: every call matched

    // The same words with another status: how a run maps to a status changed.
    lines.back() = R"({"outcome":"no update run","status":9})";
    const Session renumbered = Replayed(Joined(lines));
    EXPECT_EQ(renumbered.status, Code(ExitStatus::kReplayDiverged));
    EXPECT_NE(renumbered.err.find("\"no update run\" (exit 9); the replayed session ended with "
                                  "\"no update run\" (exit 2)"),
              std::string::npos)
        << renumbered.err;
}

// --- another version, a window

TEST(Replay, ATraceFromAnotherVersionMatchesByKindAndSaysWhereBytesDiffer) {
    const Session recorded =
        Recorded({"--console", "--virtual-time", "--scenario", Scenario("app-happy.json")});
    std::vector<std::string> lines = Lines(recorded.trace);
    const std::string version = "\"program_version\":\"3.10\"";
    lines[0].replace(lines[0].find(version), version.size(), "\"program_version\":\"3.00\"");
    const std::size_t at = Find(lines, "\"call\":\"hid_write\"", 0);
    const std::size_t digit = lines[at].find("\"bytes\":\"") + 9;
    lines[at][digit] = lines[at][digit] == '1' ? '2' : '1';  // the report ID
    const Session replayed = Replayed(Joined(lines));
    EXPECT_EQ(replayed.status, recorded.status);
    EXPECT_EQ(replayed.out, recorded.out);
    EXPECT_TRUE(Contains(replayed.err, "the trace comes from qvt-update 3.00")) << replayed.err;
    EXPECT_TRUE(Contains(replayed.err, "qvt-update: differs: call " +
                                           std::to_string(CallOnLine(Joined(lines), at + 1)) +
                                           " (line " + std::to_string(at + 1) +
                                           "): the trace holds hid_write("))
        << replayed.err;
    EXPECT_TRUE(Contains(replayed.err, "the bytes differ from byte 0 on (0x")) << replayed.err;
}

TEST(Replay, AWindowsTraceIsClickedAsThePersonClickedWithTheForceBoxAsItStood) {
    // A current unit flashed with the force box ticked: in a window the person ticks it, and
    // the trace keeps it at the click; nothing on a command line says so.
    const Session recorded = Recorded(
        {"--console", "--virtual-time", "--force", "--scenario", Scenario("current.json")});
    ASSERT_EQ(recorded.status, Code(ExitStatus::kCompleted));
    std::vector<std::string> lines = Lines(recorded.trace);
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"\"front_end\":\"console\"",
                                                                       "\"front_end\":\"window\""},
                                   {"\"force\":true}", "\"force\":false}"}}) {
        lines[0].replace(lines[0].find(from), from.size(), to);
    }
    const Session replayed = Replayed(Joined(lines));
    EXPECT_EQ(replayed.status, Code(ExitStatus::kCompleted)) << replayed.err;
    EXPECT_EQ(replayed.err, "");
    EXPECT_TRUE(Contains(replayed.out, "force: enabled checked\n"));
}

// A station ended by a signal while it waited for a unit: its trace ends with that wait, and so
// does the replay, without asking the bench once more.
TEST(Replay, AStationEndedWhileItWaitedEndsThereToo) {
    const Session recorded = Recorded(
        {"--console", "--virtual-time", "--station", "--scenario", Scenario("app-happy.json")});
    std::vector<std::string> lines = Lines(recorded.trace);
    lines.insert(lines.end() - 1, R"({"call":"sleep","ms":1000})");
    const Session replayed = Replayed(Joined(lines));
    EXPECT_EQ(replayed.status, recorded.status);
    EXPECT_EQ(replayed.out, recorded.out);
    EXPECT_EQ(replayed.err, "");
}

}  // namespace
}  // namespace qvt::linux_app
