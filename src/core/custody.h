#pragma once

// Standard C++ only: this file belongs to the portable core.
#include <cstdint>
#include <map>

#include "bench_look.h"

namespace qvt {

// How long after a handover a flashed unit that is sound must have come back: the return wait's
// whole bound, as long as the program lets any unit take to re-enumerate.
inline constexpr std::uint64_t kReturnBoundMs = 200'000;

// The units on the bench at the first Start of a unit, in either mode (the boot loaders the
// start-up check found and the units the driver showed).
struct StartSnapshot {
    std::int32_t boot_loaders = 0;
    std::int32_t app_devices = 0;
    std::int32_t units() const { return boot_loaders + app_devices; }
};

// What the program's own reports have done to the flash of the units it handles.
enum class Flash : std::uint8_t {
    kUntouched,   // nothing this program sent has reached a unit yet
    kErased,      // an erase reached a boot loader: anything programmed before it is gone
    kProgrammed,  // every boot loader took the end report; the verification has not passed (not
                  // run yet, or cut short by a reply that never came)
    kVerified,    // the verification read the whole image back
    kDisproved,   // the verification read back a difference
};

// The moment the flashed units left the program's hands: the end report of their programming,
// or their reset. From then on each look says which units may be others than the flashed ones.
struct Handover {
    enum class At : std::uint8_t { kNone, kProgramEnd, kReset };
    At at = At::kNone;
    std::uint64_t when_ms = 0;
    std::int32_t ours = 0;  // the boot loaders it reached: the units that are to come back
    bool accepted = true;   // a reset: every report of it was accepted
    // Per version reading (-1: unread), how many units in application mode may be others than
    // the flashed ones: as many as were there at the handover, and never more than a look has
    // shown since. A unit plugged in later is not among them; one that left never comes back
    // among them.
    std::map<std::int32_t, std::int32_t> others;
    bool boot_loader_seen = false;  // a look since saw a boot loader
    bool boot_loader_left = false;  // a look since saw none
};

// Everything a run knows about custody: one value, carried from run to run of one unit.
struct Custody {
    StartSnapshot start;
    Flash flash = Flash::kUntouched;
    Handover handover;

    // A flashed unit is on its way back, or back, from this program's hands: its programming
    // ended, no verification disproved it and no erase reached a boot loader since.
    bool Pending() const {
        return (flash == Flash::kProgrammed || flash == Flash::kVerified) &&
               handover.at != Handover::At::kNone && handover.ours > 0;
    }
    // The units left the program's hands; `look` is the bench at that moment, the flashed ones
    // gone from it (boot loaders that took the report are not in its application units).
    void HandOver(Handover::At at, std::int32_t ours, const BenchLook& look, std::uint64_t now_ms);
    // Narrows what the handover's others may be by a later look.
    void Saw(const BenchLook& look);
};

// Where the function is asked.
enum class Occasion : std::uint8_t {
    kRestartCheck,   // a later click, before anything is asked of a unit
    kReturnWait,     // after the reset, each cycle
    kBootLoaderWait  // a search for a boot loader that found none, while a flashed unit is pending
};

struct Verdict {
    enum class Kind : std::uint8_t {
        kNotYet,
        kCompleted,      // a flashed unit is back in its application, current
        kCurrent,        // one unit this program did not flash, its version read and current
        kVersionUnread,  // one unit this program did not flash, whose version cannot be read
        kFailed,         // nothing can come of the wait any more
    };
    enum class Reason : std::uint8_t {
        kNone,
        kBackCurrent,     // every unit no look can count as another one reads current
        kBackUnread,      // as kBackCurrent, but a returned unit's version cannot be read
        kBootLoaderGone,  // without the driver: no boot loader for the whole return bound
        kResetNotTaken,   // a refused reset, and the boot loader never left
        kBootLoaderBack,  // without the driver: a boot loader after the reset
    };
    Kind kind = Kind::kNotYet;
    Reason reason = Reason::kNone;
    // A completion: the version reading of a unit taken for the flashed one back.
    VersionReading returned = std::nullopt;
    bool operator==(const Verdict&) const = default;
};

// What the facts and the bench as it is now amount to; `request_due` tells whether a click would
// ask a unit to restart into its boot loader (a current unit is then not refused).
Verdict Judge(const Custody& facts, const BenchLook& now, Occasion occasion,
              std::uint16_t image_version, std::uint64_t now_ms, bool request_due);

const char* ReasonName(Verdict::Reason reason);
// Whether a completion for this reason read the image's version back from the unit.
inline bool ReturnConfirmed(Verdict::Reason reason) {
    return reason == Verdict::Reason::kBackCurrent;
}

}  // namespace qvt
