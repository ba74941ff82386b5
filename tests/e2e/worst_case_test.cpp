// The longest a click of Start can last: the parts that a unit can stretch to their bounds do
// reach them, and no run, however slow its unit, outlasts the whole.
#include <gtest/gtest.h>

#include <map>

#include "bench.h"
#include "run_bounds.h"
#include "texts.h"

namespace qvt {
namespace {

using testing::Bench;

TEST(WorstCase, TheBootSwitchAndTheReturnWaitReachTheirBoundsAndTheRunStaysWithinTheWhole) {
    // The boot loader shows up just before the last try; after the reset the unit stays a boot
    // loader, so every cycle of the return wait finds it, settles and waits.
    Bench bench(R"({"boot_switch_delay_ms": 198600, "reset_delay_ms": 0,
                    "faults": [{"kind": "stays_in_boot"}]})");
    bench.Create();
    std::map<std::string, std::uint64_t> shown_at;
    bench.view.on_pump = [&] {
        shown_at.try_emplace(bench.controls().message, bench.clock.NowMs());
    };
    const auto start = bench.clock.NowMs();
    bench.Start();
    const auto end = bench.clock.NowMs();
    const RunBounds bounds(1);
    EXPECT_TRUE(bench.Logged("ChangeBootMode true: 199"));
    EXPECT_EQ(shown_at.at(std::string(text::kEraseStart)) -
                  shown_at.at(std::string(text::kBootSwitchStart)),
              bounds.boot_switch);
    EXPECT_EQ(end - shown_at.at(std::string(text::kVersionCheckStart)), bounds.return_wait);
    EXPECT_LE(end - start, bounds.Total());
    EXPECT_EQ(bench.controls().message, text::kMessageRunFailed);
}

TEST(WorstCase, ADiscoveryGivesUpAfterItsBoundAndTheRunStaysWithinTheWhole) {
    // The unit vanishes at the erase: each attempt's erase searches for 200 s in vain.
    Bench bench(R"({"faults": [{"kind": "unplug", "after_reports": 0}]})");
    bench.Create();
    std::vector<std::uint64_t> erase_starts;
    std::string last;
    bench.view.on_pump = [&] {
        if (bench.controls().message != last) {
            last = bench.controls().message;
            if (last == text::kEraseStart) erase_starts.push_back(bench.clock.NowMs());
        }
    };
    const auto start = bench.clock.NowMs();
    bench.Start();
    const RunBounds bounds(1);
    ASSERT_EQ(erase_starts.size(), 3u);
    // An erase that never finds its boot loader: the discovery's 200 searches, then the next.
    EXPECT_EQ(erase_starts[2] - erase_starts[1],
              kBootLoaderSearches * std::uint64_t{kSearchIntervalMs});
    EXPECT_LE(erase_starts[2] - erase_starts[1], bounds.erase);
    EXPECT_LE(bench.clock.NowMs() - start, bounds.Total());
}

}  // namespace
}  // namespace qvt
