// The longest a click of Start can last: the parts that a unit can stretch to their bounds do
// reach them, and no run, however slow its unit, outlasts the whole.
#include <gtest/gtest.h>

#include <map>

#include "rig.h"
#include "run_bounds.h"
#include "texts.h"

namespace qvt {
namespace {

using testing::Rig;

TEST(WorstCase, TheBootSwitchAndTheReturnWaitReachTheirBoundsAndTheRunStaysWithinTheWhole) {
    // The boot loader shows up just before the last try; after the reset the unit stays a boot
    // loader, so every cycle of the return wait finds it, settles and waits.
    Rig rig(R"({"boot_switch_delay_ms": 198600, "reset_delay_ms": 0,
                    "faults": [{"kind": "stays_in_boot"}]})");
    rig.Create();
    std::map<std::string, std::uint64_t> shown_at;
    rig.view.on_pump = [&] { shown_at.try_emplace(rig.controls().message, rig.clock.NowMs()); };
    const auto start = rig.clock.NowMs();
    rig.Start();
    const auto end = rig.clock.NowMs();
    const RunBounds bounds(1);
    EXPECT_EQ(shown_at.at(std::string(text::kEraseStart)) -
                  shown_at.at(std::string(text::kBootSwitchStart)),
              bounds.boot_switch);
    EXPECT_EQ(end - shown_at.at(std::string(text::kVersionCheckStart)), bounds.return_wait);
    EXPECT_LE(end - start, bounds.Total());
}

TEST(WorstCase, ADiscoveryGivesUpAfterItsBoundAndTheRunStaysWithinTheWhole) {
    // The unit vanishes at the erase: each attempt's erase searches for 200 s in vain.
    Rig rig(R"({"faults": [{"kind": "unplug", "after_reports": 0}]})");
    rig.Create();
    std::vector<std::uint64_t> erase_starts;
    std::string last;
    rig.view.on_pump = [&] {
        if (rig.controls().message != last) {
            last = rig.controls().message;
            if (last == text::kEraseStart) erase_starts.push_back(rig.clock.NowMs());
        }
    };
    const auto start = rig.clock.NowMs();
    rig.Start();
    const RunBounds bounds(1);
    ASSERT_EQ(erase_starts.size(), 3u);
    // An erase that never finds its boot loader: the discovery's 200 searches, then the next.
    EXPECT_EQ(erase_starts[2] - erase_starts[1],
              kBootLoaderSearches * std::uint64_t{kSearchIntervalMs});
    EXPECT_LE(erase_starts[2] - erase_starts[1], bounds.erase);
    EXPECT_LE(rig.clock.NowMs() - start, bounds.Total());
}

}  // namespace
}  // namespace qvt
