#include "options.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "run_binary.h"

namespace qvt::linux_app {
namespace {

// The options, or the error's line.
struct Parsed {
    Options options;
    std::string error;
};

Parsed Parse(std::vector<std::string_view> arguments) {
    const auto parsed = ParseOptions(arguments);
    return parsed ? Parsed{*parsed, ""} : Parsed{{}, parsed.error()};
}

TEST(Options, ReadsEveryOption) {
    const auto parsed =
        Parse({"--scenario", "s.json", "--virtual-time", "--force", "--runs", "3", "--console"});
    ASSERT_EQ(parsed.error, "");
    EXPECT_TRUE(parsed.options.simulate);  // implied by --scenario
    EXPECT_EQ(parsed.options.scenario_path, "s.json");
    EXPECT_TRUE(parsed.options.virtual_time);
    EXPECT_TRUE(parsed.options.force);
    EXPECT_EQ(parsed.options.runs, 3);
    EXPECT_TRUE(parsed.options.runs_given);
    EXPECT_TRUE(parsed.options.console);
    EXPECT_EQ(Parse({"--runs=2", "--simulate"}).options.runs, 2);
}

TEST(Options, DefaultsToOneRunOfTheRealDevice) {
    const auto parsed = Parse({});
    EXPECT_EQ(parsed.error, "");
    EXPECT_FALSE(parsed.options.simulate);
    EXPECT_EQ(parsed.options.runs, 1);
    EXPECT_FALSE(parsed.options.runs_given);
}

TEST(Options, RefusesWhatItCannotUse) {
    EXPECT_EQ(Parse({"--frobnicate"}).error, "unknown option \"--frobnicate\" (see --help)");
    EXPECT_EQ(Parse({"--virtual-time"}).error,
              "--virtual-time works only with --simulate or --scenario");
    EXPECT_EQ(Parse({"--runs", "0"}).error, "--runs needs a whole number of at least 1, not \"0\"");
    EXPECT_EQ(Parse({"--runs", "two"}).error,
              "--runs needs a whole number of at least 1, not \"two\"");
    EXPECT_EQ(Parse({"--runs"}).error, "--runs needs a number");
    EXPECT_EQ(Parse({"--scenario"}).error, "--scenario needs a file");
    EXPECT_EQ(Parse({"--log"}).error, "--log needs a file");
    EXPECT_EQ(Parse({"--log", "x.log"}).options.log_path, "x.log");
    EXPECT_EQ(Parse({"--force=yes"}).error, "option --force takes no value");
    EXPECT_EQ(Parse({"simulate"}).error, "unknown option \"simulate\" (see --help)");
}

// The manual page is the command line's reference: its OPTIONS are the table's, in its order,
// each with the name of its value, and so is its synopsis; --help is made from the table.
TEST(Options, TheManualAndHelpListExactlyTheTablesOptions) {
    std::ifstream file(QVT_SOURCE_DIR "/packaging/qvt-update.1");
    const std::string manual((std::istreambuf_iterator<char>(file)), {});
    const std::string options = manual.substr(manual.find(".SH OPTIONS"),
                                              manual.find(".SH EXIT") - manual.find(".SH OPTIONS"));
    const std::string synopsis = manual.substr(
        manual.find(".SH SYNOPSIS"), manual.find(".SH DESCRIPTION") - manual.find(".SH SYNOPSIS"));
    auto roff = [](std::string_view name) {
        std::string escaped;
        for (char c : name) escaped += c == '-' ? std::string("\\-") : std::string(1, c);
        return escaped;
    };
    std::vector<std::string> listed;
    std::istringstream lines(options);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(".B \\-\\-", 0) == 0 || line.rfind(".BI \\-\\-", 0) == 0)
            listed.push_back(line);
    }
    std::vector<std::string> expected;
    const std::string help = UsageText();
    for (const OptionEntry& entry : OptionTable()) {
        expected.push_back(entry.value.empty() ? ".B " + roff(entry.name)
                                               : ".BI " + roff(entry.name) + " \" " +
                                                     std::string(entry.value) + "\"");
        EXPECT_NE(synopsis.find(roff(entry.name)), std::string::npos) << entry.name;
        std::string head = "  " + std::string(entry.name);
        if (!entry.value.empty()) head += " " + std::string(entry.value);
        EXPECT_NE(help.find("\n" + head + " "), std::string::npos) << entry.name;
    }
    EXPECT_EQ(listed, expected);
}

TEST(ProgramUsage, HelpAndVersion) {
    const auto help = RunBinary("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--virtual-time"), std::string::npos);
    const auto version = RunBinary("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "QVT-40 R3 Update v3.10\n");
}

TEST(ProgramUsage, AWholeSimulatedUpdateInVirtualTimeExitsZeroQuickly) {
    const auto result = RunBinary("--console --simulate --virtual-time");
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.out.find("caption=アップデート完了\n"), std::string::npos);
    EXPECT_EQ(result.err, "");
}

}  // namespace
}  // namespace qvt::linux_app
