#include <gtest/gtest.h>

#include "rig.h"
#include "texts.h"

namespace qvt {
namespace {

using testing::Rig;

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
    Rig rig(s.scenario);
    ASSERT_TRUE(rig.updater.form.FormCreate());
    const WindowModel::Controls& c = rig.controls();
    EXPECT_EQ(c.status.caption, s.caption);
    EXPECT_EQ(c.status.background, color::kButtonFace);
    EXPECT_EQ(c.status.text_color, s.text_color);
    EXPECT_TRUE(c.status.visible);
    EXPECT_EQ(c.message, s.message);
    EXPECT_EQ(c.start_enabled, s.start);
    EXPECT_EQ(c.force_enabled, s.force);
    EXPECT_EQ(rig.updater.form.expected_boot_loaders(), s.expected_boot_loaders);
    EXPECT_EQ(rig.updater.sequence.phase(), Phase::kIdle);
    EXPECT_EQ(c.bar_color, color::kGreen);
    EXPECT_EQ(rig.view.bar_color, color::kGreen);
    EXPECT_EQ(rig.world.open_handles(), 0);
    EXPECT_EQ(rig.TotalReceived(), 0);  // nothing is touched before Start
    // The view shows what the core keeps.
    EXPECT_EQ(rig.view.messages.back(), s.message);
    EXPECT_EQ(rig.view.statuses.back(), c.status);
    EXPECT_EQ(rig.view.start_enabled, s.start);
    EXPECT_EQ(rig.view.force_enabled, s.force);
    if (s.start) return;
    // A click on a disabled Start (a key the dialog manager turned into one, a message some
    // program posted) starts nothing: no message, no request, no report.
    const auto messages = rig.view.messages.size();
    rig.Start();
    EXPECT_EQ(rig.view.messages.size(), messages);
    EXPECT_EQ(rig.TotalReceived(), 0);
    EXPECT_EQ(rig.world.unit_count() ? rig.world.unit(0).boot_requests : 0, 0);
    EXPECT_EQ(rig.updater.sequence.FailedRunCount(), 0);
    EXPECT_EQ(rig.updater.Standing(), "no update run");
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
    Rig rig(testing::kOneBootLoader);
    rig.Create();
    EXPECT_EQ(rig.view.progress_position, 0);
    EXPECT_EQ(rig.view.progress_maximum, 13);
    EXPECT_EQ(rig.view.progress_updates, 1);
}

TEST(ForceBox, OnACurrentUnitEnablesStartOnlyWhileTicked) {
    Rig rig(R"({"units": [{"mode": "application", "version": "3.10"}]})");
    rig.Create();
    EXPECT_FALSE(rig.controls().start_enabled);
    rig.updater.form.ckUpdateClick(true);
    EXPECT_TRUE(rig.controls().start_enabled);
    EXPECT_TRUE(rig.view.force_checked);
    rig.updater.form.ckUpdateClick(false);
    EXPECT_FALSE(rig.controls().start_enabled);  // no boot loader was expected
}

TEST(ForceBox, WithNoUnitItCannotEnableStart) {
    Rig rig(R"({"units": []})");
    rig.Create();
    EXPECT_FALSE(rig.controls().force_enabled);
    rig.updater.form.ckUpdateClick(true);  // even if a click got through
    EXPECT_FALSE(rig.controls().start_enabled);
}

TEST(ForceBox, TickedWithoutAUnitInApplicationModeDisablesStartAndUntickedEnablesItAgain) {
    Rig rig(testing::kOneBootLoader);
    rig.Create();
    ASSERT_TRUE(rig.controls().start_enabled);
    rig.updater.form.ckUpdateClick(true);  // nothing in application mode to force
    EXPECT_FALSE(rig.controls().start_enabled);
    EXPECT_TRUE(rig.controls().force_checked);
    rig.updater.form.ckUpdateClick(false);
    EXPECT_TRUE(rig.controls().start_enabled);  // the boot loader is still expected
    EXPECT_FALSE(rig.controls().force_checked);
}

}  // namespace
}  // namespace qvt
