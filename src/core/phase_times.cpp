#include "phase_times.h"

#include "boot_protocol.h"
#include "run_bounds.h"

namespace qvt {
namespace {

constexpr std::uint64_t kSettle = kSettleSleeps * std::uint64_t{kSettleSleepMs};
constexpr std::uint64_t kChunks = kChunksPerPass;

// One pass of the range walk: a request and its reply per chunk, then the pass's pause.
constexpr std::uint64_t ReadPass() {
    return kChunks * 2 * kTypicalTransferMs + kPassPauseMs;
}

}  // namespace

bool TimedPhase(Phase phase) {
    switch (phase) {
        case Phase::kBootSwitch:
        case Phase::kErase:
        case Phase::kBlankCheck:
        case Phase::kProgram:
        case Phase::kVerify:
        case Phase::kReset:
        case Phase::kReturnWait:
            return true;
        default:
            return false;
    }
}

PhaseTimes TimesOf(Phase phase, std::int32_t boot_loaders, bool driver) {
    const RunBounds bounds(boot_loaders > 0 ? static_cast<std::uint64_t>(boot_loaders) : 1);
    switch (phase) {
        case Phase::kBootSwitch:
            return {kAfterBootRequestMs + kTypicalBootSwitchMs + kSettle + kWaitCycleMs,
                    bounds.boot_switch};
        case Phase::kErase:
            return {
                kBeforeFirstReportMs + kErasePasses * (kTypicalTransferMs + kPassPauseMs) + kSettle,
                bounds.erase};
        case Phase::kBlankCheck:
            return {kBeforeFirstReportMs + kReadPasses * ReadPass() + kSettle, bounds.blank_check};
        case Phase::kProgram:
            return {kBeforeFirstReportMs +
                        kProgramPasses * (kChunks * kTypicalTransferMs + kPassPauseMs) +
                        kTypicalTransferMs + kSettle,
                    bounds.program};
        case Phase::kVerify:
            return {kReadPasses * ReadPass() + kSettle, bounds.verify};
        case Phase::kReset:
            return {kBeforeFirstReportMs + kTypicalTransferMs + kSettle, bounds.reset};
        case Phase::kReturnWait:
            // Without the driver the unit's return is told only by the whole bound passing.
            return {driver ? kTypicalResetRestartMs + kWaitCycleMs : kReturnBoundMs,
                    bounds.return_wait};
        default:
            return {};
    }
}

std::uint64_t TypicalRunMs(bool driver) {
    std::uint64_t total = 0;
    for (const Phase phase : {Phase::kBootSwitch, Phase::kErase, Phase::kBlankCheck,
                              Phase::kProgram, Phase::kVerify, Phase::kReset, Phase::kReturnWait}) {
        total += TimesOf(phase, 1, driver).typical_ms;
    }
    return total;
}

std::string PhaseClockText(const PhaseClock& clock) {
    const auto up = [](std::uint64_t ms) {
        return std::to_string(ms == 0 ? 0 : (ms + 999) / 1000);
    };
    return std::string(clock.waiting_for) + ": " + std::to_string(clock.so_far_ms / 1000) +
           " s (typically " + up(clock.typical_ms) + " s, at most " + up(clock.limit_ms) + " s)";
}

std::string_view WaitingFor(Phase phase) {
    switch (phase) {
        case Phase::kBootSwitch:
            return "waiting for the unit's boot loader";
        case Phase::kErase:
            return "erasing";
        case Phase::kBlankCheck:
            return "checking the erase";
        case Phase::kProgram:
            return "programming";
        case Phase::kVerify:
            return "verifying";
        case Phase::kReset:
            return "resetting the unit";
        case Phase::kReturnWait:
            return "waiting for the unit to restart";
        default:
            return "";
    }
}

}  // namespace qvt
