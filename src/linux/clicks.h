#pragma once

#include <functional>

#include "options.h"
#include "replayer.h"
#include "updater.h"

namespace qvt::linux_app {

// What the person at the window would do from the command line: tick the force box when
// asked, then click Start whenever it is enabled, up to the number of runs.
void ApplyForce(Updater& updater, const Options& options);
// `stop`, asked before every click, ends the clicking early; `told` hears what each click came
// to.
void ClickStartWhileEnabled(Updater& updater, const Options& options,
                            const std::function<bool()>& stop = {},
                            const std::function<void(const RunOutcome&)>& told = {});
// Whether the trace being replayed holds a click of Start next; if so, the force box is first
// set as it stood at that click.
bool ReplayedClickComes(Updater& updater, const trace::Replayer& replay);
// The outcome of the session as an exit status.
int ExitStatusOf(const Updater& updater, bool image_loaded);

}  // namespace qvt::linux_app
