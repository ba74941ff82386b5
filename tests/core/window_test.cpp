#include "window.h"

#include <gtest/gtest.h>

#include "bench.h"
#include "fakes.h"
#include "texts.h"

namespace qvt {
namespace {

using testing::Bench;

TEST(AdvanceProgress, RaisesByOneWhileAStepRunsAndPumps) {
    sim::RecordingView view;
    Window window(view);
    window.UpdateState = 3;
    window.AdvanceProgress();
    window.AdvanceProgress();
    EXPECT_EQ(window.controls().progress_position, 2);
    EXPECT_EQ(view.progress_position, 2);
    EXPECT_EQ(view.pumps, 2);
}

TEST(AdvanceProgress, AtStateZeroResetsTheBarHoweverFarItHadGone) {
    sim::RecordingView view;
    Window window(view);
    window.UpdateState = 5;
    for (int i = 0; i < 20; ++i) window.AdvanceProgress();
    window.RaiseProgressMaximum(6);
    window.UpdateState = 0;
    window.AdvanceProgress();
    EXPECT_EQ(window.controls().progress_position, 0);
    EXPECT_EQ(window.controls().progress_maximum, 13);
    EXPECT_EQ(view.progress_position, 0);
    EXPECT_EQ(view.progress_maximum, 13);
}

TEST(WindowLog, CollectsLinesInOrder) {
    sim::RecordingView view;
    Window window(view);
    window.AppendLog("[EraseDevice]OpenHid count:0");
    window.AppendLog("EraseDevice error");
    EXPECT_EQ(window.controls().log,
              (std::vector<std::string>{"[EraseDevice]OpenHid count:0", "EraseDevice error"}));
    EXPECT_EQ(view.log, window.controls().log);
}

TEST(FormClose, IsRefusedWithTheBoxWhileBusyAndAllowedAfter) {
    Bench bench(R"({"units": [{"mode": "boot"}]})");
    bench.Create();
    bench.updater.window.busy = true;
    EXPECT_FALSE(bench.updater.form.FormClose());
    ASSERT_EQ(bench.view.modal_boxes.size(), 1u);
    EXPECT_EQ(bench.view.modal_boxes[0], text::kCloseWhileBusy);
    bench.updater.window.busy = false;
    EXPECT_TRUE(bench.updater.form.FormClose());
    EXPECT_EQ(bench.view.modal_boxes.size(), 1u);
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
    sim::RecordingView view;
    testing::BytesResource missing(std::nullopt);
    sim::SimulatedWorld world(clock, {});
    Updater updater(
        Ports{view, clock, world.driver(), world.bus(), missing, ProductDescrambleTable()});
    EXPECT_FALSE(updater.form.FormCreate());
    EXPECT_EQ(updater.window.controls().message, text::kImageError);
    EXPECT_FALSE(updater.window.controls().start_enabled);
    EXPECT_FALSE(view.start_enabled);
    EXPECT_EQ(world.searches(), 0);
    EXPECT_EQ(updater.app.census().app_device_count, 0);
    EXPECT_EQ(view.bar_color, 0u);  // the bar colour is only set after a good load
}

}  // namespace
}  // namespace qvt
