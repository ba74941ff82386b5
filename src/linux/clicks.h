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
// A replay's clicks: Start clicked wherever the trace holds a click, the force box first set as
// it stood then (a person may have ticked it in the window), until the trace holds no more or
// `stop` says so. A click that finds Start disabled is left to the replay's end to report.
void ClickAsTraced(Updater& updater, const trace::Replayer& replay,
                   const std::function<bool()>& stop,
                   const std::function<void(const RunOutcome&)>& told);
// The outcome of the session as an exit status.
int ExitStatusOf(const Updater& updater, bool image_loaded);

}  // namespace qvt::linux_app
