// A station updates unit after unit as a person at the bench brings and takes them.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "console_rig.h"
#include "run_binary.h"

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
    const std::string log_path = TestPath("station.log");
    std::ofstream log(log_path);
    const LogTarget target{log, "the log file"};
    const auto t = Session({"--station", "--virtual-time"}, kFiveUnits.c_str(), nullptr, &target);
    log.close();
    // The records, the summary and the status are the golden transcripts'; here, that the log
    // holds each record.
    const std::vector<std::string> records = LinesStarting(t.out, "record: ");
    ASSERT_EQ(records.size(), 5u);
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

// Options that the golden transcripts' station does not run with; each situation ends when
// nothing on the simulated bench can change any more.
struct Situation {
    const char* name;
    std::vector<std::string_view> options;
    const char* scenario;
    std::vector<std::string> records;
};

const Situation kSituations[] = {
    {"CurrentForced",
     {"--force"},
     R"({"units": [{"mode": "application", "version": "3.10"}]})",
     {"record: unit 1 at 0.000 s: completed; version 3.10 -> 3.10; 27.344 s"}},
    {"OnlyTheFirstOfFive",
     {"--units", "1"},
     kFiveUnits.c_str(),
     {"record: unit 1 at 0.000 s: completed; version 3.00 -> 3.10; 27.344 s"}},
};

TEST(Station, WithForceOrAFewUnitsEverySituationEndsWithItsRecordsAndStatus) {
    for (const Situation& s : kSituations) {
        SCOPED_TRACE(s.name);
        std::vector<std::string_view> options = {"--station", "--virtual-time"};
        options.insert(options.end(), s.options.begin(), s.options.end());
        const auto t = Session(options, s.scenario);
        std::vector<std::string> records;
        for (const std::string& line : LinesStarting(t.out, "record: ")) {
            records.push_back(line.substr(0, line.find(", typically")));
        }
        EXPECT_EQ(records, s.records);
        EXPECT_EQ(LinesStarting(t.out, "message: アップデート開始").size(), s.records.size());
        EXPECT_EQ(LinesStarting(t.out, "summary: ").size(), 1u);
        EXPECT_EQ(t.status, 0);
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
