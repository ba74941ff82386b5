#pragma once

// Standard C++ only: this file belongs to the portable core.
#include <cstdint>
#include <span>
#include <string_view>

#include "run_phase.h"
#include "startup_rows.h"

namespace qvt {

// What a session came to, as a number a script reads: the console's exit status, the status of
// --json's outcome events and of a station's records. One meaning each; a number once shipped is
// never given another meaning (the manual's table is the reference, and a test holds this one
// to it).
enum class ExitStatus : int {
    kCompleted = 0,          // the unit came back running the image's version, read back
    kFailed = 1,             // the last run failed
    kCurrent = 2,            // the unit's version was read and is current: nothing to update
    kImageError = 3,         // the firmware image could not be loaded
    kNoUnit = 4,             // no unit found
    kSeveralUnits = 5,       // more than one unit found
    kReturnUnconfirmed = 6,  // verified and reset, the unit's version not readable here
    kUpdateNeeded = 7,       // --check: a run would update the unit
    kReplayDiverged = 8,     // --replay: the program made a call the trace does not hold
    kVersionUnread = 9,      // one unit, whose version cannot be read: nothing was done
    kUsage = 64,             // the command line
    kDataError = 65,         // --replay: the trace is malformed
    kInternal = 70,          // an error that reached the top, shown as its box
    kSignalBase = 128,       // ended by a close signal while idle: 128 + the signal's number
};

struct ExitStatusEntry {
    ExitStatus status;
    std::string_view name;  // as --json and the records name it
};
std::span<const ExitStatusEntry> ExitStatusTable();

constexpr int Code(ExitStatus status) {
    return static_cast<int>(status);
}
// The name of a status number: "signal" for 128 and above, "" for a number of no meaning.
std::string_view ExitStatusName(int code);

// What one click of Start came to, as a status: a completion whose unit was not read back
// current is kReturnUnconfirmed, a refusal the situation the click found.
ExitStatus StatusOf(const RunOutcome& outcome);
// What the start-up check found, as a status (an update to do: kUpdateNeeded).
ExitStatus StatusOf(const StartupFinding& finding);

}  // namespace qvt
