#pragma once

#include <cstdint>
#include <string>

namespace qvt::campaign {

// One session drawn from a seed: the scenario (as the JSON file that `qvt-update --scenario`
// replays), whether the person ticks the force box, and how often they click Start.
struct Draw {
    std::string scenario_json;
    bool force = false;
    int clicks = 1;
};

Draw DrawSession(std::uint64_t seed);

}  // namespace qvt::campaign
