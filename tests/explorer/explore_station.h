#pragma once

#include "bench_space.h"
#include "explore_case.h"
#include "recording_window_view.h"
#include "simulated_world.h"
#include "updater.h"

namespace qvt::explorer {

// The case as a station plays it, until nothing on the bench can change any more: every click
// judged as at the window, every placement of a unit recorded once, never a unit updated
// twice while it stays, green only over a unit this program flashed.
void RunStationCase(Updater& updater, sim::SimulatedWorld& world, sim::RecordingWindowView& view,
                    const Case& c, CaseResult& result);

}  // namespace qvt::explorer
