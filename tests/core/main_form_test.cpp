#include "main_form.h"

#include <gtest/gtest.h>

#include "fakes.h"
#include "rig.h"
#include "texts.h"

namespace qvt {
namespace {

using testing::Rig;

// The window's model: what each change shows, on the view and in the record alike.
struct ModelRig {
    sim::RecordingFormView view;
    LogRecord record{{}, [] { return std::string("T"); }};
    FormModel form{view, record};
};

TEST(FormModel, AStepOfTheBarRaisesItByOneAndPumps) {
    ModelRig rig;
    rig.form.AdvanceProgress();
    rig.form.AdvanceProgress();
    EXPECT_EQ(rig.form.controls().progress_position, 2);
    EXPECT_EQ(rig.view.progress_position, 2);
    EXPECT_EQ(rig.view.pumps, 2);
}

TEST(FormModel, AResetOfTheBarTakesItBackToZeroOfThirteenHoweverFarItHadGone) {
    ModelRig rig;
    for (int i = 0; i < 20; ++i) rig.form.AdvanceProgress();
    rig.form.RaiseBarMaximum(6);
    rig.form.ResetBar();
    EXPECT_EQ(rig.form.controls().progress_position, 0);
    EXPECT_EQ(rig.form.controls().progress_maximum, 13);
    EXPECT_EQ(rig.view.progress_position, 0);
    EXPECT_EQ(rig.view.progress_maximum, 13);
    EXPECT_EQ(rig.view.pumps, 21);
}

TEST(FormModel, EveryChangeReachesTheViewAndTheRecordsLines) {
    ModelRig rig;
    rig.form.AppendLog("[EraseDevice]OpenHid count:0");
    rig.form.AppendLog("EraseDevice error");
    rig.form.ShowMessage("a\r\nb");
    rig.form.ShowBarColor(color::kGreen);  // drawn, but no line of the transcript
    EXPECT_EQ(rig.form.controls().log,
              (std::vector<std::string>{"[EraseDevice]OpenHid count:0", "EraseDevice error"}));
    EXPECT_EQ(rig.view.log, rig.form.controls().log);
    EXPECT_EQ(rig.view.bar_color, color::kGreen);
    const auto& lines = rig.record.lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], "T log: [EraseDevice]OpenHid count:0");
    EXPECT_EQ(lines[lines.size() - 2], "T log: EraseDevice error");
    EXPECT_EQ(lines.back(), "T message: a\\nb");
}

TEST(FormClose, ReleasesAHandleStillHeld) {
    Rig rig(R"({"units": [{"mode": "boot"}, {"mode": "application", "version": "3.00"}]})");
    ASSERT_TRUE(rig.updater.app.CountAppDevices());
    ASSERT_TRUE(rig.updater.link.FindBootLoaders(0));
    EXPECT_EQ(rig.world.open_handles(), 2);
    EXPECT_TRUE(rig.updater.form.FormClose());
    EXPECT_EQ(rig.world.open_handles(), 0);
}

TEST(FormCreate, AnImageErrorDisablesStartAndChecksNoDevice) {
    sim::VirtualClock clock;
    sim::RecordingFormView view;
    testing::BytesResource missing(std::nullopt);
    sim::SimulatedWorld world(clock, {});
    Updater updater(
        Ports{view, clock, world.driver(), world.bus(), missing, ProductDescrambleTable()});
    EXPECT_FALSE(updater.form.FormCreate());
    EXPECT_EQ(updater.model.controls().message, text::kImageError);
    EXPECT_FALSE(updater.model.controls().start_enabled);
    EXPECT_FALSE(view.start_enabled);
    EXPECT_EQ(world.searches(), 0);
    EXPECT_EQ(updater.app.census().app_device_count, 0);
    EXPECT_EQ(view.bar_color, 0u);  // the bar colour is only set after a good load
}

}  // namespace
}  // namespace qvt
