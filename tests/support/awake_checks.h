#pragma once

// What every way of keeping the machine awake must give a run, checked the same way against
// each: the core's, logind's (through a mock on a real D-Bus daemon) and Windows' (under Wine).
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "rig.h"
#include "texts.h"

namespace qvt::testing {

struct AwakeCase {
    const char* name;
    std::string_view scenario;
    bool throws_in_programming;  // an exception inside a window message, mid-run
    bool completes;
};

inline constexpr AwakeCase kAwakeCases[] = {
    {"completes", kOneOutdatedUnit, false, true},
    {"fails", R"({"faults": [{"kind": "failing_writes", "command": "erase"}]})", false, false},
    {"throws", kOneOutdatedUnit, true, false},
};

// Runs each case with `hold` behind the run. `held` asks the system itself whether the hold is
// in force: it must be from the boot switch on, through programming, and gone after the run.
inline void ExpectHeldThroughEachRun(AwakeHold& hold, const std::function<bool()>& held) {
    for (const AwakeCase& c : kAwakeCases) {
        SCOPED_TRACE(c.name);
        Rig rig(c.scenario, &hold);
        rig.Create();
        ASSERT_FALSE(held()) << "held before any run";
        bool at_boot_switch = false, in_programming = false, asked = false;
        rig.view.on_pump = [&] {
            const Phase phase = rig.updater.sequence.phase();
            if (phase == Phase::kBootSwitch && !asked) {
                asked = true;
                at_boot_switch = held();
            }
            if (phase == Phase::kProgram && !in_programming) {
                in_programming = held();
                if (c.throws_in_programming) throw std::runtime_error("stray");
            }
        };
        const RunOutcome outcome = rig.updater.form.btnStartClick();
        rig.view.on_pump = nullptr;
        EXPECT_TRUE(at_boot_switch);
        EXPECT_EQ(in_programming, c.completes || c.throws_in_programming);
        EXPECT_EQ(outcome.completed(), c.completes);
        EXPECT_FALSE(held()) << "still held after the run";
        EXPECT_FALSE(rig.Logged(logtext::kNoAwakeHold));
    }
}

}  // namespace qvt::testing
