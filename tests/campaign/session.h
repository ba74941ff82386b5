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
    kOther,
};
inline constexpr int kEndings = 11;
const char* EndingName(Ending ending);

struct SessionResult {
    Ending ending = Ending::kOther;
    std::vector<std::string> violations;  // each invariant broken, in words
    bool swapped = false;                 // completed for a unit put in place of the updated one
};

// Runs the drawn session in virtual time as a person at the window would: the force box ticked
// if asked and possible, Start clicked while it is enabled, up to the drawn number of times.
// After every click the invariants are checked:
// - completion shown => every unit that the tool reset holds the image over the whole
//   application area, runs it, reports at least 3.10, and no boot loader's area changed;
//   once a person has taken a unit away or plugged one in, a completion is excused when what
//   the tool saw is what it vouches for (as many current units as were there at the reset, no
//   boot loader), since no count tells a unit put in place of the updated one from the unit;
// - a click that found nothing to update left one unit, in application mode, and no boot loader;
// - the click ended within the worst-case length of a run;
// - the run left the busy flag clear and no handle open, and a failed one left Start enabled.
SessionResult RunSession(const Draw& draw);

}  // namespace qvt::campaign
