// Windows keeps the system awake for the length of a run, through the same seam as logind.
#include <gtest/gtest.h>

#include "awake_checks.h"
#include "win_awake_hold.h"

namespace qvt::win32 {
namespace {

// Windows' own account of the thread's request, read by a call that reports the request in
// force and then put back as it was.
bool SystemRequired() {
    const EXECUTION_STATE in_force = SetThreadExecutionState(ES_CONTINUOUS);
    SetThreadExecutionState(in_force | ES_CONTINUOUS);
    return (in_force & ES_SYSTEM_REQUIRED) != 0;
}

TEST(WinAwakeHold, HeldFromTheBootSwitchUntilTheRunEndsHoweverItEnds) {
    WinAwakeHold hold;
    testing::ExpectHeldThroughEachRun(hold, SystemRequired);
}

}  // namespace
}  // namespace qvt::win32
