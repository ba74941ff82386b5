// A machine without the maker's application-mode driver (Linux): units are never seen in
// application mode, so a completed update is told by the boot loader going away after a
// verified programming and an accepted reset, and staying away for as long as the program
// lets any unit take to re-enumerate, and by nothing else. What the window and the log say of
// it (the unconfirmed return, the reason a unit is not seen) is held by the golden transcripts
// of tests/golden/scenarios/no_app_driver.*.json.
#include <gtest/gtest.h>

#include <optional>

#include "rig.h"
#include "texts.h"

namespace qvt {
namespace {

using testing::Rig;

TEST(NoAppDriver, ABootModeUnitIsUpdatedToCompletion) {
    Rig rig(R"({"app_driver": false, "units": [{"mode": "boot", "version": "3.00"}]})");
    rig.Create();
    ASSERT_TRUE(rig.controls().start_enabled);
    std::optional<std::uint64_t> reset_at;
    rig.view.on_pump = [&] {
        if (!reset_at && rig.world.unit(0).resets == 1) reset_at = rig.clock.NowMs();
    };
    rig.Start();
    EXPECT_TRUE(rig.updater.sequence.completed());
    // It really runs the image: the unit came back in application mode.
    EXPECT_TRUE(rig.UnitHoldsImage(0));
    EXPECT_EQ(rig.world.unit(0).state, sim::UnitState::kApplication);
    EXPECT_EQ(rig.world.unit(0).running_version, 0x0310);
    // No boot loader at any cycle, a second apart after the reset's settle wait, until the
    // return wait's whole bound has passed since the reset.
    ASSERT_TRUE(reset_at.has_value());
    EXPECT_EQ(rig.clock.NowMs() - *reset_at, 1500u + 199u * 1000u);
}

TEST(NoAppDriver, AUnitThatStaysInItsBootLoaderFailsAfterTheWholeWait) {
    Rig rig(R"({"app_driver": false, "units": [{"mode": "boot", "version": "3.00"}],
                    "faults": [{"kind": "stays_in_boot"}]})");
    rig.Create().Start();
    EXPECT_FALSE(rig.updater.sequence.completed());
    EXPECT_EQ(rig.updater.sequence.FailedRunCount(), 1);
    EXPECT_EQ(rig.world.unit(0).state, sim::UnitState::kBoot);
}

TEST(NoAppDriver, AResetThatWasNotAcceptedNeverCompletes) {
    // The unit may well have left, but the tool cannot know it started anything.
    Rig rig(R"({"app_driver": false, "units": [{"mode": "boot", "version": "3.00"}],
                    "faults": [{"kind": "failing_writes", "command": "reset"}]})");
    rig.Create();
    rig.view.on_pump = [&] {
        if (rig.Logged("ResetDevice error") && rig.world.unit(0).state == sim::UnitState::kBoot) {
            rig.world.PowerCycle(0);  // gone from the bus for good, as far as the tool can see
        }
    };
    rig.Start();
    EXPECT_FALSE(rig.updater.sequence.completed());
    EXPECT_EQ(rig.controls().message, text::kMessageRunFailed);
}

TEST(NoAppDriver, AUnitInApplicationModeIsNotSeenAndTheReasonIsGiven) {
    Rig rig(R"({"app_driver": false, "units": [{"mode": "application", "version": "3.00"}]})");
    rig.Create();
    EXPECT_EQ(rig.world.unit(0).boot_requests, 0);
}

}  // namespace
}  // namespace qvt
