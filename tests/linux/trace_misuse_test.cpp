// --record and --replay as someone who gets them wrong would use them: every bad file or
// combination is one line and exit 64 (65 for a trace that is malformed) before anything is
// written, and a trace that cannot be written never changes how the update ends.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "run_binary.h"

namespace qvt::linux_app {
namespace {

namespace fs = std::filesystem;

const std::string kScenario = QVT_SOURCE_DIR "/tests/twin/scenarios/current.json";
const std::string kSession = "--console --virtual-time --scenario " + kScenario;

// A short session's trace, recorded by the program itself.
std::string RecordedTrace(const std::string& stem) {
    const std::string path = TestPath(stem);
    fs::remove(path);
    EXPECT_EQ(RunBinary(kSession + " --record " + path).status, 2);
    return path;
}

TEST(TraceMisuse, EveryBadRecordOrReplayIsOneLineAndNothingIsWritten) {
    const std::string trace = RecordedTrace("trace.jsonl");
    const std::string text = ReadFile(trace);
    // Cut after a line in its middle: a whole line's last, the outcome missing.
    const std::string cut_text = text.substr(0, text.find('\n', text.size() / 2) + 1);
    const std::string cut = Written("cut.jsonl", cut_text);
    std::string future_text = text;
    future_text.replace(future_text.find("\"version\":2"), 11, "\"version\":9");
    const std::string future = Written("future.jsonl", future_text);
    const std::string notes = Written("notes.txt", "someone's notes\n");
    const std::string fifo = TestPath("fifo");
    fs::remove(fifo);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = ::testing::TempDir();
    const std::string log = TestPath("untouched.log");
    fs::remove(log);
    struct Case {
        std::string arguments;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {"--simulate --record", 64, "--record needs a file"},
        {"--replay " + trace + " --simulate", 64,
         "--simulate does not go with --replay (the trace holds the session)"},
        {"--replay " + trace + " --record " + trace, 64,
         "the trace file " + trace + " is the trace being replayed; writing it would destroy it"},
        {"--virtual-time --scenario " + trace, 64,
         "scenario file " + trace + " is a trace; run it with --replay"},
        {kSession + " --record " + fifo, 64,
         "the trace file " + fifo + " is a FIFO with no reader (No such device or address)"},
        {kSession + " --record " + folder, 64, "the trace file " + folder + " is a directory"},
        {kSession + " --record " + kScenario, 64,
         "the trace file " + kScenario + " is the scenario file; writing it would destroy it"},
        {kSession + " --record " + notes, 64,
         "the trace file " + notes + " holds something else than a trace; it is left as it is"},
        {kSession + " --record " + log + " --log " + log, 64,
         "the trace file " + log + " is the log file"},
        {"--replay /nonexistent.jsonl", 64,
         "cannot read trace file /nonexistent.jsonl: No such file or directory"},
        {"--replay " + folder, 64, "trace file " + folder + " is a directory"},
        {"--replay " + cut + " --log " + log, 65,
         cut + ": cut short: no outcome line after line " +
             std::to_string(std::count(cut_text.begin(), cut_text.end(), '\n'))},
        {"--replay " + future, 65,
         future +
             ": line 1: a schema version this program does not read (it reads versions 1 to 2)"},
    };
    for (const Case& c : cases) {
        const auto result = RunBinary(c.arguments, "timeout -s KILL 20 " QVT_UPDATE_BINARY);
        EXPECT_EQ(result.status, c.status) << c.arguments;
        EXPECT_EQ(result.err, "qvt-update: " + c.message + "\n") << c.arguments;
        EXPECT_EQ(result.out, "") << c.arguments;
    }
    EXPECT_EQ(ReadFile(trace), text);
    EXPECT_EQ(ReadFile(notes), "someone's notes\n");
    EXPECT_FALSE(fs::exists(log));
}

TEST(TraceMisuse, ATraceThatCannotBeWrittenIsToldOnceAndTheUpdateEndsAsItWould) {
    const std::string update = "--console --virtual-time --simulate";
    const auto plain = RunBinary(update);
    const auto full = RunBinary(update + " --record /dev/full");
    EXPECT_EQ(full.status, plain.status);
    EXPECT_EQ(full.out, plain.out);
    EXPECT_EQ(full.err,
              "qvt-update: [Trace]cannot write the trace file /dev/full: No space left "
              "on device; the run goes on\n");
}

// The trace of a session whose log was asked for lies beside the log, and replays to what the
// session showed; a trace goes over a trace, never over anything else.
TEST(TraceMisuse, ALogsTraceLiesBesideItAndReplaysToTheSameSession) {
    const std::string log = TestPath("support") + ".log";
    const std::string beside = TestPath("support") + ".trace.jsonl";
    fs::remove(beside);
    const auto first = RunBinary(kSession + " --log " + log);
    const auto again = RunBinary(kSession + " --log " + log);
    EXPECT_EQ(again.err, "");
    const auto replayed = RunBinary("--replay " + beside);
    EXPECT_EQ(replayed.status, first.status);
    EXPECT_EQ(replayed.out, first.out);

    std::ofstream(beside, std::ios::binary) << "someone's notes\n";
    const auto kept = RunBinary(kSession + " --log " + log);
    EXPECT_EQ(kept.status, first.status);
    EXPECT_EQ(kept.err, "qvt-update: the trace file " + beside +
                            " holds something else than a trace; it is left as it is; the log "
                            "goes on without its trace\n");
    EXPECT_EQ(ReadFile(beside), "someone's notes\n");
}

TEST(TraceMisuse, ADivergedReplayExitsWithItsOwnStatus) {
    const std::string trace = RecordedTrace("diverged.jsonl");
    std::string text = ReadFile(trace);
    text.replace(text.find("QvtUsb2Device1"), 14, "QvtUsb2Device7");
    const auto result = RunBinary("--replay " + Written("edited.jsonl", text));
    EXPECT_EQ(result.status, 8);
    EXPECT_EQ(result.err.rfind("qvt-update: replay diverged at call 3 (line 4): the trace holds "
                               "driver_open(\"\\\\.\\QvtUsb2Device7\"); the program made "
                               "driver_open(\"\\\\.\\QvtUsb2Device1\")",
                               0),
              0u)
        << result.err;
}

}  // namespace
}  // namespace qvt::linux_app
