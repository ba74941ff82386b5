#pragma once

#include <string>

#include "options.h"
#include "result.h"

namespace qvt::linux_app {

// Whether `--record PATH` may be opened: the checks of --log (launch_checks.h), then that it is
// not the trace being replayed nor the log file, and holds nothing but a trace.
Result<void> CheckRecordPath(const std::string& path, const Options& options);

}  // namespace qvt::linux_app
