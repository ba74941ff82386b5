#pragma once

#include <sys/stat.h>

#include <string>

#include "options.h"
#include "result.h"
#include "unique_fd.h"

namespace qvt::linux_app {

// Opens `--log PATH` for writing, emptied, once what it names is known to be a place where a
// person could mean the record to go: a regular file, a FIFO that has a reader, or a device that
// keeps nothing (/dev/null, /dev/zero, /dev/full). Anything else is refused before anything is
// created, emptied or written, and what was opened is checked again before it is emptied.
// `what` names the file in every refusal ("the log file", "the trace file"): a session's trace
// goes only where its log could, by the same checks.
Result<UniqueFd> OpenLogFile(const std::string& path, const Options& options,
                             const std::string& what = "the log file");

// The checks OpenLogFile makes before it opens anything: of what `path` names now, or of a
// symbolic link to nothing that opening would create a file through.
Result<void> CheckLogPlace(const std::string& path, const Options& options,
                           const std::string& what = "the log file");

// Whether `target`, what stat(2) tells of `path`, may take the record: not a directory, a block
// device or any other device that keeps what it is given, nor the scenario file, the program
// itself, or the file or pipe that standard output or standard error goes to (by identity, not
// by name: `--log out.txt >out.txt`, `--log /dev/stdout`, `--log /proc/self/fd/1`).
Result<void> CheckLogTarget(const std::string& path, const struct stat& target,
                            const Options& options, const std::string& what = "the log file");

}  // namespace qvt::linux_app
