#pragma once

#include <string>

#include "options.h"
#include "result.h"
#include "unique_fd.h"

namespace qvt::linux_app {

// Opens `--record PATH` (or the trace beside a log) for writing: not the trace being replayed
// nor the log file, nothing there but a trace already (or nothing at all), then every check of
// --log (log_file.h), each refusal naming "the trace file".
Result<UniqueFd> OpenRecordFile(const std::string& path, const Options& options);
// The same checks without opening anything, so that a refusal leaves every file as it was.
Result<void> CheckRecordFile(const std::string& path, const Options& options);

}  // namespace qvt::linux_app
