#pragma once

#include <string>
#include <vector>

#include "bench_space.h"

namespace qvt::explorer {

// What one case came to, judged by the simulated world's own truth.
struct CaseResult {
    std::string ending;  // how the session ended: a row of the verdict counts
    std::vector<std::string> violations;
    std::string scenario;  // replays the case
    int clicks = 0;
    std::vector<std::string> transcript;  // the session's record, kept when asked for
};

// Plays the case against the real core and the simulated units in virtual time: the window
// clicked while Start is enabled (at most four times), or a station; then, once the bench has
// settled, a unit alone on it without faults gets one more click, which must complete or be
// refused as current, at once.
CaseResult RunCase(const Case& c, bool keep_transcript = false);

}  // namespace qvt::explorer
