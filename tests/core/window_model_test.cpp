#include "window_model.h"

#include <gtest/gtest.h>

#include "log_record.h"
#include "recording_window_view.h"
#include "window_view.h"

namespace qvt {
namespace {

// The window's model: what each change shows, on the view and in the record alike.
struct ModelRig {
    sim::RecordingWindowView view;
    LogRecord record{{}, [] { return std::string("T"); }};
    WindowModel model{view, record};
};

TEST(WindowModel, AStepOfTheBarRaisesItByOneAndPumps) {
    ModelRig rig;
    rig.model.AdvanceProgress();
    rig.model.AdvanceProgress();
    EXPECT_EQ(rig.model.controls().progress_position, 2);
    EXPECT_EQ(rig.view.progress_position, 2);
    EXPECT_EQ(rig.view.pumps, 2);
}

TEST(WindowModel, AResetOfTheBarTakesItBackToZeroOfThirteenHoweverFarItHadGone) {
    ModelRig rig;
    for (int i = 0; i < 20; ++i) rig.model.AdvanceProgress();
    rig.model.RaiseBarMaximum(6);
    rig.model.ResetBar();
    EXPECT_EQ(rig.model.controls().progress_position, 0);
    EXPECT_EQ(rig.model.controls().progress_maximum, 13);
    EXPECT_EQ(rig.view.progress_position, 0);
    EXPECT_EQ(rig.view.progress_maximum, 13);
    EXPECT_EQ(rig.view.pumps, 21);
}

TEST(WindowModel, EveryChangeReachesTheViewAndTheRecordsLines) {
    ModelRig rig;
    rig.model.AppendLog("[EraseDevice]OpenHid count:0");
    rig.model.AppendLog("EraseDevice error");
    rig.model.ShowMessage("a\r\nb");
    rig.model.ShowBarColor(color::kGreen);  // drawn, but no line of the transcript
    EXPECT_EQ(rig.model.controls().log,
              (std::vector<std::string>{"[EraseDevice]OpenHid count:0", "EraseDevice error"}));
    EXPECT_EQ(rig.view.log, rig.model.controls().log);
    EXPECT_EQ(rig.view.bar_color, color::kGreen);
    const auto& lines = rig.record.lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], "T log: [EraseDevice]OpenHid count:0");
    EXPECT_EQ(lines[lines.size() - 2], "T log: EraseDevice error");
    EXPECT_EQ(lines.back(), "T message: a\\nb");
}

}  // namespace
}  // namespace qvt
