#include "scenario.h"

#include <gtest/gtest.h>

#include <ctime>

namespace qvt::sim {
namespace {

std::string ErrorOf(std::string_view json) {
    const auto result = ParseScenario(json);
    return result ? std::string("<accepted>") : result.error();
}

TEST(Scenario, TheDocumentedExampleLoads) {
    const auto result = ParseScenario(R"({
      "units": [ { "mode": "application", "version": "3.00" } ],
      "foreign_hid": [ { "vendor": "0x046D", "product": "0xC52B" } ],
      "boot_switch_delay_ms": 2000,
      "reset_delay_ms": 3000,
      "faults": [ { "unit": 0, "kind": "refuse_writes", "command": "erase", "from": 1, "count": 2 } ]
    })");
    ASSERT_TRUE(result) << result.error();
    const Scenario& s = *result;
    ASSERT_EQ(s.units.size(), 1u);
    EXPECT_EQ(s.units[0].version, 0x0300);
    ASSERT_EQ(s.foreign_hid.size(), 1u);
    EXPECT_EQ(s.foreign_hid[0].vendor, 0x046D);
    EXPECT_EQ(s.foreign_hid[0].product, 0xC52B);
    ASSERT_EQ(s.faults.size(), 1u);
    EXPECT_EQ(s.faults[0].kind, FaultKind::kRefuseWrites);
    EXPECT_EQ(s.faults[0].command, CommandFilter::kErase);
    EXPECT_TRUE(s.faults[0].Covers(1));
    EXPECT_TRUE(s.faults[0].Covers(2));
    EXPECT_FALSE(s.faults[0].Covers(3));
}

TEST(Scenario, DefaultsToOneOutdatedUnitInApplicationMode) {
    const auto result = ParseScenario("{}");
    ASSERT_TRUE(result);
    const Scenario& s = *result;
    ASSERT_EQ(s.units.size(), 1u);
    EXPECT_EQ(s.units[0].mode, UnitSetup::Mode::kApplication);
    EXPECT_EQ(s.units[0].version, 0x0300);
    EXPECT_EQ(s.boot_switch_delay_ms, 2000u);
    EXPECT_EQ(s.reset_delay_ms, 3000u);
    EXPECT_EQ(s.transfer_ms, 1u);
    // A unit's keys are optional too: without a mode, it runs its application.
    const auto units = ParseScenario(R"({"units": [{"version": "3.10"}, {"mode": "boot"}, {}]})");
    ASSERT_TRUE(units) << units.error();
    EXPECT_EQ(units->units[0].mode, UnitSetup::Mode::kApplication);
    EXPECT_EQ(units->units[0].version, 0x0310);
    EXPECT_FALSE(units->units[1].version);  // a boot loader with erased flash
    EXPECT_EQ(units->units[2].mode, UnitSetup::Mode::kApplication);
    EXPECT_EQ(units->units[2].version, 0x0300);
}

TEST(Scenario, RefusalsSayWhere) {
    // Malformed JSON: one position, where the token that cannot stand there begins.
    EXPECT_EQ(ErrorOf(R"({"units": [)"),
              "malformed JSON at byte 12: the text ends before the value is complete");
    EXPECT_EQ(ErrorOf(R"({"reset_delay_ms": Infinity})"),
              "malformed JSON at byte 20: unexpected \"Infinity\"");
    EXPECT_EQ(ErrorOf(R"({"units" "x"})"), "malformed JSON at byte 10: unexpected \"\\\"x\\\"\"");
    EXPECT_EQ(ErrorOf("{\"units\": [\n]\n,}"), "malformed JSON at byte 16: unexpected \"}\"");
    EXPECT_EQ(ErrorOf(R"({"faults": [{"kind": "melt"}]})"),
              "faults[0].kind: unknown fault kind \"melt\"");
    EXPECT_EQ(ErrorOf(R"({"unit": []})"), "scenario: unknown key \"unit\"");
    EXPECT_EQ(ErrorOf(R"({"units": [{"mode": "sleep"}]})"),
              "units[0].mode: expected \"application\" or \"boot\", not \"sleep\"");
    EXPECT_EQ(ErrorOf(R"({"units": [{"mode": "boot", "version": "3.1"}]})"),
              "units[0].version: \"3.1\" is not a version such as \"3.10\"");
    EXPECT_EQ(ErrorOf(R"({"faults": [{"kind": "unplug", "unit": 2, "after_reports": 3}]})"),
              "faults[0].unit: no unit 2 in \"units\"");
    EXPECT_EQ(ErrorOf(R"({"faults": [{"kind": "refuse_writes", "command": "format"}]})")
                  .rfind("faults[0].command", 0),
              0u);
    EXPECT_EQ(ErrorOf(R"({"faults": [{"kind": "silent_reads", "from": 0}]})"),
              "faults[0].from: must lie between 1 and 2147483647");
    EXPECT_EQ(ErrorOf(R"({"foreign_hid": [{"vendor": "0x1G00", "product": "1"}]})"),
              "foreign_hid[0].vendor: \"0x1G00\" is not a 16-bit hexadecimal number");
    EXPECT_EQ(ErrorOf(R"({"faults": [{"kind": "stuck_byte", "address": "0x6000"}]})"),
              "faults[0].address: lies outside the flash (0x0000-0x5FFF)");
    EXPECT_EQ(ErrorOf(R"({"faults": [{"kind": "attach", "after_reports": 5}]})"),
              "faults[0].unit: missing: the unit that is plugged in");
    EXPECT_EQ(ErrorOf(R"([1, 2])"), "scenario: expected an object");
    // Found by the fuzzer: a number past a double's range is refused, not a crash.
    EXPECT_EQ(ErrorOf(R"({"reset_delay_ms": 6E6666})"),
              "unreadable JSON at byte 20: the number \"6E6666\" is too large");
    // Every list is bounded.
    auto many = [](const std::string& key, const std::string& item, int count) {
        std::string text = "{\"" + key + "\": [" + item;
        for (int i = 1; i < count; ++i) text += ", " + item;
        return text + "]}";
    };
    EXPECT_EQ(ErrorOf(many("units", R"({"mode": "boot"})", 17)), "units: at most 16 entries");
    EXPECT_EQ(ErrorOf(many("faults", R"({"kind": "unplug", "after_reports": 1})", 65)),
              "faults: at most 64 entries");
    EXPECT_EQ(ErrorOf(many("units", R"({"mode": "boot"})", 16)), "<accepted>");
    EXPECT_EQ(ErrorOf(R"({"transfer_ms": 1001})"),
              "scenario.transfer_ms: must lie between 0 and 1000");
}

TEST(Scenario, EventsNameTheirMomentOnceAndAUnitThatWillExist) {
    const auto parsed = ParseScenario(R"({"events": [
        {"action": "unplug", "unit": 0, "at_ms": 1000},
        {"action": "attach", "unit": {"mode": "boot"}, "after_reports": 5, "delay_ms": 20},
        {"action": "unplug", "unit": 1, "at_ms": 0}]})");
    ASSERT_TRUE(parsed) << parsed.error();
    const auto& events = parsed->events;
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].at_ms, 1000u);
    EXPECT_EQ(events[1].action, Event::Action::kAttach);
    EXPECT_EQ(events[1].after_reports, 5);
    EXPECT_EQ(events[1].delay_ms, 20u);
    EXPECT_FALSE(events[1].at_ms);
    EXPECT_EQ(events[2].unit, 1);  // the attached unit's index

    const std::pair<const char*, const char*> refusals[] = {
        {R"({"events": [{"action": "unplug", "unit": 0}]})",
         "events[0]: needs either \"at_ms\" or \"after_reports\""},
        {R"({"events": [{"action": "unplug", "unit": 0, "at_ms": 1, "after_reports": 1}]})",
         "events[0]: has both \"at_ms\" and \"after_reports\"; an event names its moment once"},
        {R"({"events": [{"action": "unplug", "unit": 0, "at_ms": 1, "delay_ms": 1}]})",
         "events[0].delay_ms: goes with \"after_reports\""},
        {R"({"events": [{"action": "melt", "unit": 0, "at_ms": 1}]})",
         "events[0].action: unknown action \"melt\" (unplug, plug, power_cycle or attach)"},
        {R"({"events": [{"action": "plug", "unit": 1, "at_ms": 1}]})",
         "events[0].unit: no unit 1 in \"units\" or among the units attached later"},
        // Only a unit taken away can be plugged in, and only once for each time.
        {R"({"events": [{"action": "plug", "unit": 0, "at_ms": 1}]})",
         "events[0]: unit 0 is plugged in: no \"unplug\" of it comes before this \"plug\""},
        {R"({"events": [{"action": "unplug", "unit": 0, "at_ms": 1},
                        {"action": "plug", "unit": 0, "at_ms": 2},
                        {"action": "plug", "unit": 0, "at_ms": 3}]})",
         "events[2]: unit 0 is plugged in: no \"unplug\" of it comes before this \"plug\""},
        {R"({"events": [{"action": "attach", "unit": {"mode": "sleep"}, "at_ms": 1}]})",
         "events[0].unit.mode: expected \"application\" or \"boot\", not \"sleep\""},
    };
    for (const auto& [text, message] : refusals) EXPECT_EQ(ErrorOf(text), message) << text;
}

TEST(Scenario, HexValuesAreANumberOrZeroXAndUpToFourDigitsAndNothingElse) {
    auto vendor = [](const std::string& value) {
        return ErrorOf(R"({"units": [], "foreign_hid": [{"vendor": )" + value +
                       R"(, "product": 1}]})");
    };
    for (const char* accepted : {R"("0x046D")", R"("0x46d")", R"("0x0")", "4660", "0"}) {
        EXPECT_EQ(vendor(accepted), "<accepted>") << accepted;
    }
    for (const char* refused : {R"("1232")", R"(" 0x12")", R"("+0x12")", R"("0x")", R"("0x12345")",
                                R"("0x12 ")", R"("-0x1")", R"("")", R"("0X1232")"}) {
        const std::string text = std::string(refused).substr(1, std::string(refused).size() - 2);
        EXPECT_EQ(vendor(refused),
                  "foreign_hid[0].vendor: \"" + text + "\" is not a 16-bit hexadecimal number")
            << refused;
    }
    EXPECT_EQ(vendor("65536"), "foreign_hid[0].vendor: must lie between 0 and 0xFFFF");
}

// What a file could do to the reader: nest without end, repeat a key, grow past any use, or
// put a screenful (or a terminal's escape sequences) into the message.
TEST(Scenario, TheReaderHasLimitsAndItsMessagesQuoteOnlyShortExcerpts) {
    EXPECT_EQ(ErrorOf("{\"units\": " + std::string(100000, '[') + std::string(100000, ']') + "}"),
              "scenario: nested deeper than 16 levels");
    EXPECT_EQ(ErrorOf(R"({"units": [{"mode": "boot", "mode": "application"}]})"),
              "scenario: key \"mode\" given twice in one object");
    // Nothing after the value, not even behind a NUL, which the JSON library takes for the end.
    using namespace std::string_literals;
    EXPECT_EQ(ErrorOf("{\"transfer_ms\": 1}\0garbage"s), "malformed JSON at byte 19: a NUL byte");
    EXPECT_EQ(ErrorOf(R"({"transfer_ms": 1}garbage)"),
              "malformed JSON at byte 19: unexpected \"garbage\"");
    // The same key in two objects is no repetition.
    EXPECT_EQ(ErrorOf(R"({"units": [{"mode": "boot"}, {"mode": "boot"}]})"), "<accepted>");
    EXPECT_EQ(ErrorOf(std::string(kMaxScenarioBytes, ' ') + "{}"), "larger than 1 MiB");
    EXPECT_EQ(ErrorOf(std::string(kMaxScenarioBytes - 2, ' ') + "{}"), "<accepted>");
    const std::string key(5000, 'k');
    EXPECT_EQ(ErrorOf("{\"" + key + "\": 1}"),
              "scenario: unknown key \"" + std::string(40, 'k') + "...\"");
    EXPECT_EQ(ErrorOf(R"({"units": [{"mode": "\u001b[2J"}]})"),
              "units[0].mode: expected \"application\" or \"boot\", not \"\\u001b[2J\"");
    // A long token is cut too.
    EXPECT_EQ(ErrorOf("{\"units\": " + std::string(100000, 'x') + "}"),
              "malformed JSON at byte 11: unexpected \"" + std::string(40, 'x') + "...\"");
    // Read in time linear in its size: a file at the bound full of empty objects took half a
    // minute when every member's end looked through its whole container.
    std::string many = "{\"units\": [{}";
    while (many.size() + 5 < kMaxScenarioBytes) many += ",{}";
    const std::clock_t began = std::clock();
    EXPECT_EQ(ErrorOf(many + "]}"), "units: at most 16 entries");
    EXPECT_LT(std::clock() - began, 5 * CLOCKS_PER_SEC);
}

TEST(Scenario, AFileThatIsMissingOrNoFileIsRefusedByNameBeforeAnythingIsRead) {
    const auto missing = LoadScenarioFile("/nonexistent/scenario.json");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().rfind("cannot read scenario file /nonexistent/scenario.json: ", 0),
              0u);
    const std::string folder = ::testing::TempDir();
    const auto directory = LoadScenarioFile(folder);
    ASSERT_FALSE(directory);
    EXPECT_EQ(directory.error(), "scenario file " + folder + " is a directory");
}

}  // namespace
}  // namespace qvt::sim
