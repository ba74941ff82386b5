#pragma once

#include <functional>
#include <string>

#include "console_window_view.h"
#include "options.h"
#include "station.h"
#include "updater.h"

namespace qvt::linux_app {

// What a station asks of the session around it.
struct StationHooks {
    // A close request while no run is on: the station ends with its summary.
    std::function<bool()> stop;
    // Nothing on the bench can change any more (a simulated one whose events have all acted):
    // waiting would never end.
    std::function<bool()> quiet;
};

// How a console session ended: its exit status, and its standing in words for the record's last
// line and the trace's end (how the last run ended; for a station, its summary: status 0 when no
// unit failed, 1 when one did, 2 when no unit came).
struct SessionEnd {
    int status = 0;
    std::string standing;
};

// A station (see Station in the core) on the console: its records and summary in the
// transcript's lines or as events, ended by a close request while idle or, in a simulated
// session in virtual time, when nothing on the bench can change any more.
SessionEnd RunStation(Updater& updater, ConsoleWindowView& view, Clock& clock,
                      const Options& options, const StationHooks& hooks);

}  // namespace qvt::linux_app
