// The log record: what it keeps, in what order, and what it lets go of when a session runs
// long.
#include "log_record.h"

#include <gtest/gtest.h>

#include "rig.h"
#include "texts.h"
#include "time_stamp.h"

namespace qvt {
namespace {

std::string Unstamped(const std::string& line) {
    return line.substr(line.find(' ', line.find(' ') + 1) + 1);
}

TEST(LogRecord, ARunsRecordIsItsTranscriptWithTimeStampsThenTheOutcome) {
    testing::Rig rig(testing::kOneBootLoader);
    std::vector<std::string> mirrored;
    rig.updater.record.Mirror([&](const std::string& line) { mirrored.push_back(line); });
    rig.Create().Start();
    rig.updater.record.Finish(rig.updater.Standing());

    const LogRecord& record = rig.updater.record;
    ASSERT_EQ(record.header().size(), 6u);
    EXPECT_EQ(record.header()[0], "# QVT-40 R3 Update v3.10");
    EXPECT_EQ(record.header()[2], "# image: 3.10");
    for (const std::string& line : record.lines())
        EXPECT_TRUE(testing::AfterTimeStamp(line)) << line;
    EXPECT_EQ(Unstamped(record.lines().front()), "message: ");
    EXPECT_EQ(Unstamped(record.lines()[5]),
              "status: shown fg=0x000000FF bg=0x8000000F caption=アップデートを行ってください");
    EXPECT_EQ(Unstamped(record.lines().back()),
              "message: アップデート完了\\nアプリケーションを終了してください。");
    // The mirror saw the header, every line and the outcome, in order.
    ASSERT_EQ(mirrored.size(), 6 + record.lines().size() + 1);
    EXPECT_EQ(mirrored.front(), record.header().front());
    EXPECT_EQ(Unstamped(mirrored.back()), "outcome: update completed (the unit came back current)");
    // Taken in the middle of nothing, the text ends in the outcome as it stands.
    const std::string text = record.Text(rig.updater.Standing(), "\r\n");
    EXPECT_NE(text.find("\r\n"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 57),
              " outcome: update completed (the unit came back current)\r\n");
}

TEST(LogRecord, BeyondItsCapProgressGoesFirstAndMessagesAndLogLinesNever) {
    int tick = 0;
    LogRecord record({"# header"}, [&] {
        std::string stamp = "t";
        stamp += std::to_string(tick++);
        stamp += " x";
        return stamp;
    });
    record.Add("message: first");
    record.Add("log: first");
    record.Add("status: shown");
    for (std::size_t i = 0; i < LogRecord::kLineCap + 10; ++i) {
        record.Add("progress: " + std::to_string(i) + "/13");
    }
    EXPECT_EQ(record.lines().size(), LogRecord::kLineCap);
    EXPECT_EQ(Unstamped(record.lines()[0]), "message: first");
    EXPECT_EQ(Unstamped(record.lines()[1]), "log: first");
    EXPECT_EQ(Unstamped(record.lines()[2]), "status: shown");
    EXPECT_EQ(Unstamped(record.lines()[3]), "progress: 13/13");  // the oldest went first
    // With no progress left to let go of, other state lines go; message and log lines stay.
    LogRecord full({}, [] { return "t x"; });
    for (std::size_t i = 0; i < LogRecord::kLineCap; ++i) full.Add("log: " + std::to_string(i));
    full.Add("start: enabled");
    full.Add("message: kept");
    EXPECT_EQ(full.lines().size(), LogRecord::kLineCap + 1);
    EXPECT_EQ(Unstamped(full.lines().back()), "message: kept");
    EXPECT_EQ(std::count_if(full.lines().begin(), full.lines().end(),
                            [](const std::string& l) { return Unstamped(l) == "start: enabled"; }),
              0);
}

TEST(LogRecord, TheLongestRunTheConstantsAllowFitsWhole) {
    // Every procedure failing every attempt, then the runs that the console makes at most in a
    // session a person would start: nothing is dropped.
    testing::Rig rig(R"({"faults": [{"kind": "silent_reads", "from": 1}]})");
    rig.Create();
    for (int run = 0; run < 10; ++run) rig.Start();
    const auto& lines = rig.updater.record.lines();
    EXPECT_LT(lines.size(), LogRecord::kLineCap / 10);
    EXPECT_EQ(Unstamped(lines.front()), "message: ");
}

}  // namespace
}  // namespace qvt
