#pragma once

#include <cstdint>

namespace qvt {

// The step of the run. The numbers are the ones the product has always used (1 never is); a
// step's value stands while it runs and, after its success, until the run picks the next one.
enum class UpdateState : std::int32_t {
    kIdle = 0,        // no run, a run being prepared, or the wait for the unit's return
    kBootSwitch = 2,  // the boot-mode switch; the erase is next
    kErase = 3,       // erasing; after success the blank check is next
    kBlankCheck = 4,  // blank check; after success programming is next
    kProgram = 5,     // programming
    kVerify = 6,      // verifying; after success the reset is next
    kReset = 7,       // the reset; the return wait is next
};

}  // namespace qvt
