#include <gtest/gtest.h>

#include "bench.h"
#include "texts.h"

namespace qvt {
namespace {

using testing::Bench;

struct Situation {
    const char* name;
    const char* scenario;
    std::string_view caption;
    std::uint32_t text_color;
    std::string_view message;
    bool start;
    bool force;
    int expected_boot_loaders;
};

std::ostream& operator<<(std::ostream& out, const Situation& s) {
    return out << s.name;
}

class StartupCheck : public ::testing::TestWithParam<Situation> {};

TEST_P(StartupCheck, ShowsTheSituationAndSetsTheControls) {
    const Situation& s = GetParam();
    Bench bench(s.scenario);
    ASSERT_TRUE(bench.updater.form.FormCreate());
    const FormModel::Controls& c = bench.controls();
    EXPECT_EQ(c.status.caption, s.caption);
    EXPECT_EQ(c.status.background, color::kButtonFace);
    EXPECT_EQ(c.status.text_color, s.text_color);
    EXPECT_TRUE(c.status.visible);
    EXPECT_EQ(c.message, s.message);
    EXPECT_EQ(c.start_enabled, s.start);
    EXPECT_EQ(c.force_enabled, s.force);
    EXPECT_EQ(bench.updater.form.expected_boot_loaders(), s.expected_boot_loaders);
    EXPECT_EQ(bench.updater.sequence.phase(), Phase::kIdle);
    EXPECT_EQ(c.bar_color, color::kGreen);
    EXPECT_EQ(bench.view.bar_color, color::kGreen);
    EXPECT_EQ(bench.world.open_handles(), 0);
    EXPECT_EQ(bench.TotalReceived(), 0);  // nothing is touched before Start
    // The view shows what the core keeps.
    EXPECT_EQ(bench.view.messages.back(), s.message);
    EXPECT_EQ(bench.view.statuses.back(), c.status);
    EXPECT_EQ(bench.view.start_enabled, s.start);
    EXPECT_EQ(bench.view.force_enabled, s.force);
    if (s.start) return;
    // A click on a disabled Start (a key the dialog manager turned into one, a message some
    // program posted) starts nothing: no message, no request, no report.
    const auto messages = bench.view.messages.size();
    bench.Start();
    EXPECT_EQ(bench.view.messages.size(), messages);
    EXPECT_EQ(bench.TotalReceived(), 0);
    EXPECT_EQ(bench.world.unit_count() ? bench.world.unit(0).boot_requests : 0, 0);
    EXPECT_EQ(bench.updater.sequence.FailedRunCount(), 0);
    EXPECT_EQ(bench.updater.Outcome(), "no update run");
}

INSTANTIATE_TEST_SUITE_P(
    FiveSituations, StartupCheck,
    ::testing::Values(
        Situation{"Current", R"({"units": [{"mode": "application", "version": "3.10"}]})",
                  text::kCaptionCurrent, color::kGreen, text::kMessageCurrent, false, true, 0},
        Situation{"Missing", R"({"units": []})", text::kCaptionMissing, color::kNavy,
                  text::kMessageMissing, false, false, 0},
        Situation{"CurrentAndBootLoader",
                  R"({"units": [{"mode": "application", "version": "3.10"}, {"mode": "boot"}]})",
                  text::kCaptionSeveral, color::kFuchsia, text::kMessageSeveral, false, false, 0},
        Situation{
            "TwoInApplicationMode",
            R"({"units": [{"mode": "application", "version": "3.10"}, {"mode": "application", "version": "3.00"}]})",
            text::kCaptionSeveral, color::kFuchsia, text::kMessageSeveral, false, false, 0},
        Situation{"Outdated", R"({"units": [{"mode": "application", "version": "3.0F"}]})",
                  text::kCaptionNeeded, color::kRed, text::kMessageNeeded, true, false, 1},
        Situation{"InBootMode", testing::kOneBootLoader.data(), text::kCaptionNeeded, color::kRed,
                  text::kMessageNeeded, true, false, 1}),
    [](const ::testing::TestParamInfo<Situation>& info) { return info.param.name; });

TEST(StartupCheckProgress, TheUpdateRowResetsTheBarToZeroOfThirteen) {
    Bench bench(testing::kOneBootLoader);
    bench.Create();
    EXPECT_EQ(bench.view.progress_position, 0);
    EXPECT_EQ(bench.view.progress_maximum, 13);
    EXPECT_EQ(bench.view.progress_updates, 1);
}

TEST(ForceBox, OnACurrentUnitEnablesStartOnlyWhileTicked) {
    Bench bench(R"({"units": [{"mode": "application", "version": "3.10"}]})");
    bench.Create();
    EXPECT_FALSE(bench.controls().start_enabled);
    bench.updater.form.ckUpdateClick(true);
    EXPECT_TRUE(bench.controls().start_enabled);
    EXPECT_TRUE(bench.view.force_checked);
    bench.updater.form.ckUpdateClick(false);
    EXPECT_FALSE(bench.controls().start_enabled);  // no boot loader was expected
}

TEST(ForceBox, WithNoUnitItCannotEnableStart) {
    Bench bench(R"({"units": []})");
    bench.Create();
    EXPECT_FALSE(bench.controls().force_enabled);
    bench.updater.form.ckUpdateClick(true);  // even if a click got through
    EXPECT_FALSE(bench.controls().start_enabled);
}

TEST(ForceBox, TickedWithoutAUnitInApplicationModeDisablesStartAndUntickedEnablesItAgain) {
    Bench bench(testing::kOneBootLoader);
    bench.Create();
    ASSERT_TRUE(bench.controls().start_enabled);
    bench.updater.form.ckUpdateClick(true);  // nothing in application mode to force
    EXPECT_FALSE(bench.controls().start_enabled);
    EXPECT_TRUE(bench.controls().force_checked);
    bench.updater.form.ckUpdateClick(false);
    EXPECT_TRUE(bench.controls().start_enabled);  // the boot loader is still expected
    EXPECT_FALSE(bench.controls().force_checked);
}

}  // namespace
}  // namespace qvt
