#pragma once

#include <functional>
#include <optional>
#include <string>

#include "options.h"
#include "queued_output.h"
#include "result.h"
#include "trace.h"
#include "trace_recorder.h"

namespace qvt::linux_app {

// The trace saved beside a log: the log's name with ".trace.jsonl" in place of its ".log", or
// after a name that ends otherwise.
std::string TracePathBeside(const std::string& log_path);

// Whether `path` is a regular file whose first line is a trace's header.
bool HoldsTrace(const std::string& path);

// Whether a recording may overwrite what is at `path`: nothing yet, an empty file, or a trace.
// Anything else a person may still need, so it is left as it is.
Result<void> MayOverwriteWithTrace(const std::string& path);

// A trace read from a file for --replay, or why not: `usage_error` when the file could not be
// read as a file at all (missing, a directory, a FIFO, a device), otherwise its content is
// malformed.
struct TraceFileRead {
    std::optional<trace::Trace> trace;
    std::string error;
    bool usage_error = false;
};
TraceFileRead ReadTraceFile(const std::string& path);

// A recording written to a file that main opened and checked (record_checks.h), by a thread of
// its own, so that a reader that sleeps (a FIFO) never holds the run.
class FileTraceOutput final : public trace::TraceOutput {
  public:
    FileTraceOutput(UniqueFd fd, std::string path) : out_(std::move(fd)), path_(std::move(path)) {}

    Result<void> Write(std::string_view bytes) override;
    std::string Name() const override { return "the trace file " + path_; }
    // Waits until everything handed over is written or lost; false when `stop` ended the wait.
    bool Drain(const std::function<bool()>& stop) { return out_.Drain(stop); }

  private:
    QueuedOutput out_;
    std::string path_;
};

}  // namespace qvt::linux_app
