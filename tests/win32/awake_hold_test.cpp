// Windows keeps the system awake for the length of a run, through the same seam as logind.
#include <gtest/gtest.h>
#include <windows.h>

#include "awake_checks.h"
#include "win_awake_hold.h"

namespace qvt::win32 {
namespace {

// Windows' own account of the thread's lasting request, read by a call that reports what was
// in force and then put back: held means a continuous request that includes the system.
bool SystemRequired() {
    constexpr EXECUTION_STATE kHeld = ES_CONTINUOUS | ES_SYSTEM_REQUIRED;
    const EXECUTION_STATE in_force = SetThreadExecutionState(ES_CONTINUOUS);
    SetThreadExecutionState((in_force & ES_CONTINUOUS) ? in_force : ES_CONTINUOUS);
    return (in_force & kHeld) == kHeld;
}

TEST(WinAwakeHold, HeldFromTheBootSwitchUntilTheRunEndsHoweverItEnds) {
    WinAwakeHold hold;
    testing::ExpectHeldThroughEachRun(hold, SystemRequired);
}

}  // namespace
}  // namespace qvt::win32
