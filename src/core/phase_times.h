#pragma once

// Standard C++ only: this file belongs to the portable core.
#include <cstdint>
#include <string>
#include <string_view>

#include "run_phase.h"

namespace qvt {

// A unit's own times that the typical run assumes: a restart into the boot loader, a restart
// from a reset, and one interrupt transfer. The limits assume nothing of the unit.
inline constexpr std::uint64_t kTypicalBootSwitchMs = 2000;
inline constexpr std::uint64_t kTypicalResetRestartMs = 3000;
inline constexpr std::uint64_t kTypicalTransferMs = 1;

// How long a phase of a run takes: typically (from the procedures' own waits and transfer
// counts, and the unit's typical restarts) and at most (the run's bound for it, RunBounds).
struct PhaseTimes {
    std::uint64_t typical_ms = 0;
    std::uint64_t limit_ms = 0;
};

// How long the phase of a run under way takes: shown as it begins, and again whenever another
// whole second of it has passed, so that a person watching a silent wait knows how long it may
// last. A view may show it (a console's events or progress lines, a bar's description), or not.
struct PhaseClock {
    std::string_view phase;        // its name, as the outcome names phases ("return wait"); empty
                                   // when none is under way any more
    std::string_view waiting_for;  // what it waits for, as a person reads it
    std::uint64_t so_far_ms = 0;
    std::uint64_t typical_ms = 0;
    std::uint64_t limit_ms = 0;
    bool begins = false;  // the phase has just begun (so_far_ms is 0)
};

// The line a person reads of it: "waiting for the unit to restart: 12 s (typically 4 s, at most
// 200 s)". Whole seconds: those so far counted down, the typical and the limit up.
std::string PhaseClockText(const PhaseClock& clock);

// For a phase that waits, with `boot_loaders` expected (0 taken for one) and whether the
// maker's driver shows the unit back; none for a phase that takes no time to speak of.
PhaseTimes TimesOf(Phase phase, std::int32_t boot_loaders, bool driver);
// The typical length of a whole run, from the request to the unit back.
std::uint64_t TypicalRunMs(bool driver);
// What a phase waits for, as a person reads it ("waiting for the unit to restart").
std::string_view WaitingFor(Phase phase);
// Whether the phase is one a person watches a wait in (every phase that asks the unit something).
bool TimedPhase(Phase phase);

}  // namespace qvt
