// A station updates unit after unit as a person at the bench brings and takes them.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "console_rig.h"

namespace qvt::linux_app {
namespace {

// The station session of docs/using.md: one unit updated, one that fails and is taken away, one
// already current, two plugged in at once (refused until one is taken away), and the one left,
// updated.
const std::string kFiveUnits = [] {
    std::ifstream file(QVT_SOURCE_DIR "/docs/scenarios/station-five-units.json");
    return std::string((std::istreambuf_iterator<char>(file)), {});
}();

std::vector<std::string> LinesStarting(const std::string& text, const std::string& prefix) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    }
    return lines;
}

TEST(Station, FiveUnitsEachWithItsRecordThenTheSummaryAlsoInTheLog) {
    const std::string log_path = ::testing::TempDir() + "station-" + std::to_string(getpid());
    std::ofstream log(log_path);
    const LogTarget target{log, "the log file"};
    const auto t = Session({"--station", "--virtual-time"}, kFiveUnits.c_str(), nullptr, &target);
    log.close();
    // The records' words are the golden transcripts'; here, that the log holds each of them.
    const std::vector<std::string> records = LinesStarting(t.out, "record: ");
    EXPECT_EQ(records.size(), 5u);
    EXPECT_EQ(LinesStarting(t.out, "summary: "),
              std::vector<std::string>{"summary: 2 completed, 1 failed, 2 refused"});
    EXPECT_EQ(t.status, 1);  // a unit failed
    std::ifstream written(log_path);
    const std::string text((std::istreambuf_iterator<char>(written)), {});
    for (const std::string& record : records) {
        EXPECT_NE(text.find(" " + record + "\n"), std::string::npos) << record;
    }
    // Its last line tells how the station ended, not how the last look at the bench stood.
    const std::string last = text.substr(text.rfind('\n', text.size() - 2) + 1);
    EXPECT_EQ(last.substr(last.find(' ', last.find(' ') + 1) + 1),
              "outcome: station ended, 2 completed, 1 failed, 2 refused\n");
    std::remove(log_path.c_str());
}

struct Situation {
    const char* name;
    std::vector<std::string_view> options;
    const char* scenario;
    std::vector<std::string> records;
    int status;
    const char* shown_after_first_record = nullptr;  // a line the window shows after it
};

// Each ends when nothing on the simulated bench can change any more.
const Situation kSituations[] = {
    // The unit stays attached after its update: it is never updated twice.
    {"LeftAttached",
     {},
     R"({"units": [{"mode": "application", "version": "3.00"}]})",
     {"record: unit 1 at 0.000 s: completed; version 3.00 -> 3.10; 27.344 s"},
     0},
    {"CurrentForced",
     {"--force"},
     R"({"units": [{"mode": "application", "version": "3.10"}]})",
     {"record: unit 1 at 0.000 s: completed; version 3.10 -> 3.10; 27.344 s"},
     0},
    {"NoUnitEver", {}, R"({"units": []})", {}, 2},
    // The next unit is plugged in before the updated one is taken away: the window stops
    // showing the completion, and once the first unit goes the next one is updated.
    {"NextPluggedInBeforeTheUpdatedOneGoes",
     {},
     R"({"units": [{"mode": "application", "version": "3.00"}],
         "events": [{"action": "attach", "unit": {"mode": "application", "version": "3.00"},
                     "at_ms": 60000},
                    {"action": "unplug", "unit": 0, "at_ms": 70000}]})",
     {"record: unit 1 at 0.000 s: completed; version 3.00 -> 3.10; 27.344 s",
      "record: unit 2 at 70.344 s: completed; version 3.00 -> 3.10; 27.344 s"},
     0,
     "status: shown fg=0x00FF00FF bg=0x8000000F caption=複数デバイス接続中"},
    {"OnlyTheFirstOfFive",
     {"--units", "1"},
     kFiveUnits.c_str(),
     {"record: unit 1 at 0.000 s: completed; version 3.00 -> 3.10; 27.344 s"},
     0},
};

TEST(Station, EverySituationEndsWithItsRecordsAndStatus) {
    for (const Situation& s : kSituations) {
        SCOPED_TRACE(s.name);
        std::vector<std::string_view> options = {"--station", "--virtual-time"};
        options.insert(options.end(), s.options.begin(), s.options.end());
        const auto t = Session(options, s.scenario);
        // Up to each unit's time: its typical time and status are the golden transcripts'.
        std::vector<std::string> records;
        for (const std::string& line : LinesStarting(t.out, "record: ")) {
            records.push_back(line.substr(0, line.find(", typically")));
        }
        EXPECT_EQ(records, s.records);
        EXPECT_EQ(LinesStarting(t.out, "message: アップデート開始").size(), s.records.size());
        EXPECT_EQ(LinesStarting(t.out, "summary: ").size(), 1u);
        EXPECT_EQ(t.status, s.status);
        if (s.shown_after_first_record) {
            EXPECT_NE(t.out.find(s.shown_after_first_record, t.out.find("record: ")),
                      std::string::npos);
        }
    }
}

TEST(Station, InJsonEachUnitIsARecordEventAndTheSummaryIsLast) {
    const auto t = Session({"--station", "--json", "--virtual-time"}, kFiveUnits.c_str());
    const auto records = LinesStarting(t.out, R"({"schema":"qvt-update-events","version":4,)");
    long count = 0;
    for (const std::string& line : records) count += line.find(R"("event":"record")") != line.npos;
    EXPECT_EQ(count, 5);
    EXPECT_NE(records.back().find(R"("event":"summary","completed":2,"failed":1,"refused":2)"),
              std::string::npos)
        << records.back();
    EXPECT_EQ(records.size(), LinesStarting(t.out, "").size());  // nothing but events
}

}  // namespace
}  // namespace qvt::linux_app
