#include "main_form.h"

#include <gtest/gtest.h>

#include "fakes.h"
#include "rig.h"
#include "texts.h"

namespace qvt {
namespace {

using testing::Rig;

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
    sim::RecordingWindowView view;
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
