// One meaning per exit status, written once: the manual's table is the reference, and the core's
// table, --help, the README and the events' schema are held to it. Each situation's status on the
// console, in --json, in a station's record and from --check is the golden transcripts'; here,
// that a --check in --json names the status it exits with.
#include "exit_status.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "backend.h"
#include "options.h"
#include "run_binary.h"
#include "sessions.h"

namespace qvt::linux_app {
namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream file(QVT_SOURCE_DIR "/" + path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), {});
}

std::string Number(const ExitStatusEntry& entry) {
    return entry.status == ExitStatus::kSignalBase ? "128+N" : std::to_string(Code(entry.status));
}

// Each "number name" pair a text lists, in its order.
std::vector<std::string> Pairs(const std::string& text, const std::regex& pattern) {
    std::vector<std::string> pairs;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern);
         it != std::sregex_iterator(); ++it) {
        pairs.push_back((*it)[1].str() + " " + (*it)[2].str());
    }
    return pairs;
}

TEST(ExitStatuses, TheManualsTableIsTheOneTheProgramAndItsDocumentsUse) {
    std::vector<std::string> table;
    std::vector<std::string> names;
    for (const ExitStatusEntry& entry : ExitStatusTable()) {
        table.push_back(Number(entry) + " " + std::string(entry.name));
        names.push_back("\"" + std::string(entry.name) + "\"");
    }
    const std::string manual = ReadFile("packaging/qvt-update.1");
    const std::string statuses = manual.substr(
        manual.find(".SH EXIT STATUS"), manual.find(".SH OUTPUT") - manual.find(".SH EXIT STATUS"));
    EXPECT_EQ(Pairs(statuses, std::regex(R"(\.B ([0-9+N]+)\n\\fI([^\\]+)\\fR)")), table);
    EXPECT_EQ(Pairs(ReadFile("README.md"), std::regex(R"(\n\| ([0-9+N]+) \| ([a-z ,]+) \|)")),
              table);
    EXPECT_EQ(Pairs(UsageText(), std::regex(R"(\n  ([0-9+N]+) +([a-z ,]+)(?=\n))")), table);
    // The schema's names, in the table's order.
    const std::string schema = ReadFile("packaging/qvt-update-events.schema.json");
    std::string listed;
    for (const std::string& name : names) listed += (listed.empty() ? "" : ",\n        ") + name;
    EXPECT_NE(schema.find("\"status_name\": {\n      \"enum\": [\n        " + listed + "\n"),
              std::string::npos);
}

struct Ended {
    int status = -1;
    std::string out;
};

Ended Check(const std::string& scenario) {
    const std::string path = TestPath("scenario.json");
    std::ofstream(path, std::ios::binary) << scenario;
    const auto options =
        ParseOptions({"--console", "--virtual-time", "--check", "--json", "--scenario", path});
    if (!options) return {};
    auto backend = Backend::Create(*options);
    if (!backend) return {};
    std::ostringstream out, errors;
    const int status = RunConsole(*options, **backend, out, errors);
    return {status, out.str()};
}

// The last "status":N of a --json session's events.
int LastJsonStatus(const std::string& out) {
    const auto at = out.rfind("\"status\":");
    return at == std::string::npos ? -1 : std::stoi(out.substr(at + 9));
}

TEST(ExitStatuses, ACheckInJsonNamesTheStatusItExitsWith) {
    struct Row {
        const char* situation;
        const char* scenario;
        ExitStatus status;
    };
    const Row rows[] = {
        {"update needed", R"({})", ExitStatus::kUpdateNeeded},
        {"current", R"({"units":[{"mode":"application","version":"3.10"}]})", ExitStatus::kCurrent},
        {"no unit", R"({"units":[]})", ExitStatus::kNoUnit},
        {"several units",
         R"({"units":[{"mode":"application","version":"3.00"},{"mode":"boot","version":"3.00"}]})",
         ExitStatus::kSeveralUnits},
        {"version unread", R"({"faults":[{"kind":"version_query_fails"}]})",
         ExitStatus::kVersionUnread},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.situation);
        const Ended check = Check(row.scenario);
        EXPECT_EQ(check.status, Code(row.status));
        EXPECT_EQ(LastJsonStatus(check.out), Code(row.status));
    }
}

}  // namespace
}  // namespace qvt::linux_app
