#pragma once

#include <functional>
#include <string>

#include "console_form_view.h"
#include "options.h"
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

// How a station ended: its exit status (0 when no unit failed, 1 when one did, 2 when no unit
// came) and, for the record's last line, its summary in words.
struct StationEnd {
    int status = 0;
    std::string outcome;
};

// Unit after unit, as a person at a service desk or a production line would do it with the
// window: wait for a unit, update it when the start-up check would let Start be clicked
// (`--force` as ever), print its record, wait until it is unplugged, and go on. A unit left
// attached is never updated twice; several at once are refused until one is left. A unit
// plugged in beside the one just recorded waits its turn, the window showing the bench as it
// is, and is looked at once that one is taken away. Ends after `options.units` units or at a
// close request while idle, with a summary.
StationEnd RunStation(Updater& updater, ConsoleFormView& view, Clock& clock, const Options& options,
                      const StationHooks& hooks);

}  // namespace qvt::linux_app
