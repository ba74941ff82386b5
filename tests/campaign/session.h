#pragma once

#include <string>
#include <vector>

#include "scenario_draw.h"

namespace qvt::campaign {

// How a session ended: completed, or where its last run failed.
enum class Ending {
    kCompleted,
    kBootSwitch,
    kErase,
    kBlankCheck,
    kProgramming,
    kVerification,
    kReset,
    kReturnWait,
    kStartupRefused,
    kNothingToUpdate,
    kVersionUnread,
    kOther,
};
inline constexpr int kEndings = 12;
const char* EndingName(Ending ending);

struct SessionResult {
    Ending ending = Ending::kOther;
    std::vector<std::string> violations;  // each invariant broken, in words
    bool swapped = false;  // completed for a unit standing in the flashed one's place
};

// Runs the drawn session in virtual time as a person at the window would: the force box ticked
// if asked and possible, Start clicked while it is enabled, up to the drawn number of times.
// After every click the invariants of custody are checked against the simulated world's own
// truth (tests/support/bench_truth.h): a completion stands for a unit this program flashed that
// runs the image on the bench, or is one of the listed stand-ins; a click refused as current
// leaves one current unit whose version reads; no boot loader's area changes. And the click
// ended within the worst-case length of a run;
// - the run left the busy flag clear and no handle open, and a failed one left Start enabled.
SessionResult RunSession(const Draw& draw);

}  // namespace qvt::campaign
