#pragma once

#include <cstdint>

#include "run_phase.h"

namespace qvt {

// The step number the window has always kept (1 never is). The bar rises by one at each step
// of a procedure and goes back to 0 of 13 whenever the state is idle.
enum class UpdateState : std::int32_t {
    kIdle = 0,
    kBootSwitch = 2,
    kErase = 3,
    kBlankCheck = 4,
    kProgram = 5,
    kVerify = 6,
    kReset = 7,
};

constexpr UpdateState UpdateStateOf(Phase phase) {
    switch (phase) {
        case Phase::kBootSwitch:
            return UpdateState::kBootSwitch;
        case Phase::kErase:
            return UpdateState::kErase;
        case Phase::kBlankCheck:
            return UpdateState::kBlankCheck;
        case Phase::kProgram:
            return UpdateState::kProgram;
        case Phase::kVerify:
            return UpdateState::kVerify;
        case Phase::kReset:
            return UpdateState::kReset;
        default:
            return UpdateState::kIdle;
    }
}

}  // namespace qvt
