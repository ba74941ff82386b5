// A machine without the maker's application-mode driver (Linux): units are never seen in
// application mode, so a completed update is told by the boot loader going away after a
// verified programming and an accepted reset, and by nothing else.
#include <gtest/gtest.h>

#include "bench.h"
#include "texts.h"

namespace qvt {
namespace {

using testing::Bench;

TEST(NoAppDriver, ABootModeUnitIsUpdatedToCompletion) {
    Bench bench(R"({"app_driver": false, "units": [{"mode": "boot", "version": "3.00"}]})");
    bench.Create();
    ASSERT_TRUE(bench.controls().start_enabled);
    const auto before = bench.clock.NowMs();
    bench.Start();
    EXPECT_TRUE(bench.updater.sequence.completed());
    EXPECT_EQ(bench.controls().status.caption, text::kCaptionCompleted);
    EXPECT_EQ(bench.controls().status.background, color::kGreen);
    EXPECT_EQ(bench.controls().message, text::kMessageCompleted);
    EXPECT_EQ(bench.CountLogged(logtext::kVersionNotReadHere), 1);
    // It really runs the image: the unit came back in application mode.
    EXPECT_TRUE(bench.UnitHoldsImage(0));
    EXPECT_EQ(bench.world.unit(0).state, sim::UnitState::kApplication);
    EXPECT_EQ(bench.world.unit(0).running_version, 0x0310);
    // Three cycles a second apart without a boot loader, after the reset's settle wait.
    EXPECT_EQ(bench.clock.NowMs() - before,
              1500u + 1000u + 4000u + 3500u + 6500u + 2500u + 2448u + 1396u + 2u * 1000u);
}

TEST(NoAppDriver, AUnitThatStaysInItsBootLoaderFailsAfterTheWholeWait) {
    Bench bench(R"({"app_driver": false, "units": [{"mode": "boot", "version": "3.00"}],
                    "faults": [{"kind": "stays_in_boot"}]})");
    bench.Create().Start();
    EXPECT_FALSE(bench.updater.sequence.completed());
    EXPECT_EQ(bench.controls().message, text::kMessageRunFailed);
    EXPECT_FALSE(bench.Logged(logtext::kVersionNotReadHere));
    EXPECT_EQ(bench.updater.sequence.FailedRunCount(), 1);
    EXPECT_EQ(bench.world.unit(0).state, sim::UnitState::kBoot);
}

TEST(NoAppDriver, AResetThatWasNotAcceptedNeverCompletes) {
    // The unit may well have left, but the tool cannot know it started anything.
    Bench bench(R"({"app_driver": false, "units": [{"mode": "boot", "version": "3.00"}],
                    "faults": [{"kind": "failing_writes", "command": "reset"}]})");
    bench.Create();
    bench.view.on_pump = [&] {
        if (bench.Logged("ResetDevice error") &&
            bench.world.unit(0).state == sim::UnitState::kBoot) {
            bench.world.PowerCycle(0);  // gone from the bus for good, as far as the tool can see
        }
    };
    bench.Start();
    EXPECT_FALSE(bench.updater.sequence.completed());
    EXPECT_EQ(bench.controls().message, text::kMessageRunFailed);
}

TEST(NoAppDriver, AUnitInApplicationModeIsNotSeenAndTheReasonIsGiven) {
    Bench bench(R"({"app_driver": false, "units": [{"mode": "application", "version": "3.00"}]})");
    bench.Create();
    EXPECT_EQ(bench.controls().status.caption, text::kCaptionMissing);
    EXPECT_FALSE(bench.controls().start_enabled);
    EXPECT_EQ(bench.view.notices, std::vector<std::string>{std::string(logtext::kNoAppDriverHere)});
    EXPECT_EQ(bench.world.unit(0).boot_requests, 0);
}

TEST(NoAppDriver, WithTheDriverPresentNothingIsSaidAndNothingChanges) {
    Bench bench(R"({"units": []})");
    bench.Create();
    EXPECT_EQ(bench.controls().status.caption, text::kCaptionMissing);
    EXPECT_TRUE(bench.view.notices.empty());
}

}  // namespace
}  // namespace qvt
