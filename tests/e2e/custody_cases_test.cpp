// The cases a person at the bench found against the completion rule, each a row: how the
// session is played, and what the simulated world's own truth must then be. What each case
// shows is held by the golden transcripts of tests/golden/scenarios/custody.*.json.
#include <gtest/gtest.h>

#include <functional>

#include "bench_truth.h"
#include "run_expectations.h"
#include "station_rig.h"

namespace qvt {
namespace {

using testing::CustodyViolations;
using testing::Rig;
using testing::StationRig;

// Clicks Start while it is enabled, at most `clicks` times, each judged by the truth; returns
// the last click's outcome.
RunOutcome ClickWhileEnabled(Rig& rig, int clicks) {
    RunOutcome last;
    for (int click = 0; click < clicks && rig.controls().start_enabled; ++click) {
        last = rig.updater.form.btnStartClick();
        EXPECT_EQ(CustodyViolations(rig.world, rig.updater.firmware, last),
                  std::vector<std::string>{});
    }
    return last;
}

struct WindowCase {
    const char* what;
    const char* scenario;
    int clicks;
    std::function<void(Rig&, const RunOutcome&)> then;
};

const WindowCase kWindowCases[] = {
    {"1: a verification that read back a difference, then a swap: never a completion",
     R"({"faults": [{"kind": "stuck_byte", "address": "0x1100", "value": 255}],
         "events": [{"action": "unplug", "unit": 0, "after_reports": 1750, "delay_ms": 1},
                    {"action": "attach", "unit": {"mode": "application", "version": "3.10"},
                     "after_reports": 1750, "delay_ms": 10000}]})",
     4,
     [](Rig&, const RunOutcome& last) {
         EXPECT_FALSE(last.completed());
         EXPECT_EQ(last.refusal, Refusal::kNothingToUpdate);  // the new unit, as it is
     }},
    {"2: without the driver, a unit back in its boot loader after 4 s is no completion",
     R"({"app_driver": false, "reset_delay_ms": 4000, "units": [{"mode": "boot", "version": "3.00"}],
         "faults": [{"kind": "stays_in_boot"}]})",
     1,
     [](Rig& rig, const RunOutcome& last) {
         EXPECT_EQ(last.cause, FailureCause::kBootLoaderBack);
         EXPECT_EQ(rig.world.unit(0).state, sim::UnitState::kBoot);
     }},
    {"2: without the driver, a second boot loader after the reset is no completion",
     R"({"app_driver": false, "units": [{"mode": "boot", "version": "3.00"}],
         "events": [{"action": "attach", "unit": {"mode": "boot"}, "after_reports": 2448,
                     "delay_ms": 500}]})",
     1, [](Rig&, const RunOutcome& last) { EXPECT_FALSE(last.completed()); }},
    {"4: a second unit around the reset: the updated one, back alone, completes run 1",
     R"({"units": [{"mode": "application", "version": "3.00"}], "reset_delay_ms": 10000,
         "events": [{"action": "attach", "unit": {"mode": "application", "version": "3.10"},
                     "at_ms": 21000},
                    {"action": "unplug", "unit": 1, "at_ms": 31000}]})",
     1,
     [](Rig& rig, const RunOutcome& last) {
         EXPECT_TRUE(last.completed());
         EXPECT_LT(rig.clock.NowMs(), 40'000u);
     }},
    {"5: a flashed unit back late, after a second unit came and went, is confirmed",
     R"({"events": [{"action": "attach", "unit": {"mode": "application", "version": "3.10"},
                     "at_ms": 10000},
                    {"action": "unplug", "unit": 0, "after_reports": 2447, "delay_ms": 1000},
                    {"action": "unplug", "unit": 1, "after_reports": 2447, "delay_ms": 2000},
                    {"action": "plug", "unit": 0, "after_reports": 2447, "delay_ms": 450000}]})",
     4, [](Rig&, const RunOutcome& last) { EXPECT_TRUE(last.completed()); }},
    {"6: back after its reset, its version unread: completed, and said so",
     R"({"faults": [{"kind": "version_query_fails", "after_reset": true}]})", 1,
     [](Rig&, const RunOutcome& last) { EXPECT_EQ(last.reason, Verdict::Reason::kBackUnread); }},
    {"7: restarted during its verification, back current: run 1 ends, no 200 s searches",
     R"({"events": [{"action": "power_cycle", "unit": 0, "after_reports": 1800}]})", 1,
     [](Rig& rig, const RunOutcome& last) {
         EXPECT_TRUE(last.completed());
         EXPECT_LT(rig.clock.NowMs(), 40'000u);
     }},
    {"7: a reset refused once: the wait ends at once, the next click completes",
     R"({"faults": [{"kind": "refuse_writes", "command": "reset", "count": 1}]})", 2,
     [](Rig& rig, const RunOutcome& last) {
         EXPECT_TRUE(last.completed());
         EXPECT_LT(rig.clock.NowMs(), 80'000u);
     }},
    {"7: an end report refused once: logged, and the next attempt completes",
     R"({"faults": [{"kind": "refuse_writes", "command": "program_end", "count": 1}]})", 1,
     [](Rig&, const RunOutcome& last) { EXPECT_TRUE(last.completed()); }},
    {"7: a second boot loader at 1 s: said at once, no 200 s searches",
     R"({"events": [{"action": "attach", "unit": {"mode": "boot"}, "at_ms": 1000}]})", 1,
     [](Rig& rig, const RunOutcome& last) {
         EXPECT_EQ(last.cause, FailureCause::kSeveralUnits);
         EXPECT_LT(rig.clock.NowMs(), 20'000u);
     }},
    {"8: after a failed run, a unit whose version does not read is not called current",
     R"({"units": [{"mode": "boot", "version": "3.00"}],
         "faults": [{"kind": "version_query_fails"}, {"kind": "refuse_writes", "command": "erase"}],
         "events": [{"action": "power_cycle", "unit": 0, "at_ms": 15000}]})",
     2, [](Rig&, const RunOutcome& last) { EXPECT_EQ(last.refusal, Refusal::kVersionUnread); }},
    {"14: of two unplug faults on one unit, the earlier acts",
     R"({"faults": [{"kind": "unplug", "after_reports": 2495},
                    {"kind": "unplug", "after_reports": 893}]})",
     1,
     [](Rig& rig, const RunOutcome& last) {
         EXPECT_FALSE(last.completed());
         EXPECT_EQ(rig.world.unit(0).total_received, 893);
     }},
};

TEST(Custody, EachCaseAPersonFoundEndsAsTheTruthHasIt) {
    for (const WindowCase& c : kWindowCases) {
        SCOPED_TRACE(c.what);
        Rig rig(c.scenario);
        rig.Create();
        c.then(rig, ClickWhileEnabled(rig, c.clicks));
    }
}

// Case 8 at start-up (a unit whose version does not read keeps the current unit's controls, and
// says what was found) is held by the golden transcripts of fault_matrix.EndsInTheDefinedOutcome.23
// and custody.case-08-short-version-reply-at-start-up. Unticking the force box after a refusal
// leaves Start disabled.
TEST(Custody, UntickingTheForceBoxAfterARefusalLeavesStartDisabled) {
    Rig rig(R"({"faults": [{"kind": "ignore_boot_request"}],
               "events": [{"action": "unplug", "unit": 0, "at_ms": 50000},
                          {"action": "attach", "unit": {"mode": "application", "version": "3.10"},
                           "at_ms": 150000}]})");
    rig.Create();
    ClickWhileEnabled(rig, 2);
    ASSERT_EQ(rig.controls().status.caption, text::kCaptionCurrent);
    rig.updater.form.ckUpdateClick(true);
    rig.updater.form.ckUpdateClick(false);
    EXPECT_FALSE(rig.controls().start_enabled);
}

}  // namespace
}  // namespace qvt
