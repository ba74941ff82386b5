#include "main_form.h"

#include <gtest/gtest.h>

#include "bench.h"
#include "fakes.h"
#include "texts.h"

namespace qvt {
namespace {

using testing::Bench;

TEST(AdvanceProgress, RaisesByOneWhileAStepRunsAndPumps) {
    sim::RecordingFormView view;
    FormControls form(view);
    Phase phase = Phase::kErase;
    PhaseFormDisplay display(form, phase);
    display.AdvanceProgress();
    display.AdvanceProgress();
    EXPECT_EQ(form.controls().progress_position, 2);
    EXPECT_EQ(view.progress_position, 2);
    EXPECT_EQ(view.pumps, 2);
}

TEST(AdvanceProgress, WhenIdleResetsTheBarHoweverFarItHadGone) {
    sim::RecordingFormView view;
    FormControls form(view);
    Phase phase = Phase::kProgram;
    PhaseFormDisplay display(form, phase);
    for (int i = 0; i < 20; ++i) display.AdvanceProgress();
    form.RaiseProgressMaximum(6);
    phase = Phase::kPreparing;  // the display follows the phase it was given
    display.AdvanceProgress();
    EXPECT_EQ(form.controls().progress_position, 0);
    EXPECT_EQ(form.controls().progress_maximum, 13);
    EXPECT_EQ(view.progress_position, 0);
    EXPECT_EQ(view.progress_maximum, 13);
}

TEST(FormLog, CollectsLinesInOrder) {
    sim::RecordingFormView view;
    FormControls form(view);
    form.AppendLog("[EraseDevice]OpenHid count:0");
    form.AppendLog("EraseDevice error");
    EXPECT_EQ(form.controls().log,
              (std::vector<std::string>{"[EraseDevice]OpenHid count:0", "EraseDevice error"}));
    EXPECT_EQ(view.log, form.controls().log);
}

TEST(FormClose, ReleasesAHandleStillHeld) {
    Bench bench(R"({"units": [{"mode": "boot"}, {"mode": "application", "version": "3.00"}]})");
    ASSERT_TRUE(bench.updater.app.CountAppDevices());
    ASSERT_TRUE(bench.updater.link.FindBootLoaders());
    EXPECT_EQ(bench.world.open_handles(), 2);
    EXPECT_TRUE(bench.updater.form.FormClose());
    EXPECT_EQ(bench.world.open_handles(), 0);
}

TEST(FormCreate, AnImageErrorDisablesStartAndChecksNoDevice) {
    sim::VirtualClock clock;
    sim::RecordingFormView view;
    testing::BytesResource missing(std::nullopt);
    sim::SimulatedWorld world(clock, {});
    Updater updater(
        Ports{view, clock, world.driver(), world.bus(), missing, ProductDescrambleTable()});
    EXPECT_FALSE(updater.form.FormCreate());
    EXPECT_EQ(updater.controls.controls().message, text::kImageError);
    EXPECT_FALSE(updater.controls.controls().start_enabled);
    EXPECT_FALSE(view.start_enabled);
    EXPECT_EQ(world.searches(), 0);
    EXPECT_EQ(updater.app.census().app_device_count, 0);
    EXPECT_EQ(view.bar_color, 0u);  // the bar colour is only set after a good load
}

}  // namespace
}  // namespace qvt
