#pragma once

#include <cstdint>

#include "boot_loader_link.h"
#include "boot_protocol.h"
#include "update_sequence.h"

namespace qvt {

// The longest each part of one click of Start can take, from the constants alone: every sleep
// the run can make, every search given up at (or found at) its last try, every transfer
// taking its full bound, with `boot_loaders` counted at each discovery. A real run is far
// shorter; none is longer.
struct RunBounds {
    explicit constexpr RunBounds(std::uint64_t boot_loaders) {
        const std::uint64_t n = boot_loaders;
        const std::uint64_t write = kWriteTimeoutMs;
        const std::uint64_t exchange = n * (kWriteTimeoutMs + kReadTimeoutMs);
        const std::uint64_t chunks = kChunksPerPass;
        settle = kSettleSleeps * std::uint64_t{kSettleSleepMs};
        // Found at the last search and 1 s before the first report, or given up after it.
        discovery =
            (kBootLoaderSearches - 1) * std::uint64_t{kSearchIntervalMs} + kBeforeFirstReportMs;
        const std::uint64_t read_back = kReadPasses * (chunks * exchange + kPassPauseMs);
        restart_check = settle;
        boot_switch = kAfterBootRequestMs +
                      (kBootLoaderSearches - 1) * std::uint64_t{kWaitCycleMs} + settle +
                      kWaitCycleMs;
        erase = discovery + kErasePasses * (n * write + kPassPauseMs) + settle;
        blank_check = discovery + read_back + settle;
        program =
            discovery + kProgramPasses * (chunks * n * write + kPassPauseMs) + n * write + settle;
        verify = read_back + settle;
        program_verify = program + verify;
        reset = discovery + n * write + settle;
        return_wait = kReturnCycles * (settle + kWaitCycleMs);
    }

    constexpr std::uint64_t Total() const {
        return restart_check + boot_switch + kAttempts * (erase + blank_check + program_verify) +
               reset + return_wait;
    }

    std::uint64_t settle = 0;
    std::uint64_t discovery = 0;
    std::uint64_t restart_check = 0;
    std::uint64_t boot_switch = 0;  // from the request to the erase's start
    std::uint64_t erase = 0;
    std::uint64_t blank_check = 0;
    std::uint64_t program = 0;  // to the end report and its settle wait
    std::uint64_t verify = 0;
    std::uint64_t program_verify = 0;
    std::uint64_t reset = 0;
    std::uint64_t return_wait = 0;  // from its message to its end
};

static_assert(RunBounds(1).Total() == 10'289'400);  // 2 h 51 min 29.4 s, as docs/proof.md says

}  // namespace qvt
