#pragma once

#include <optional>
#include <string>

#include "options.h"
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

// A recording written to a file that main opened and checked.
class FileTraceOutput final : public trace::TraceOutput {
  public:
    // Opens (creates or truncates) `path`; the system's reason when it cannot.
    static Result<std::unique_ptr<FileTraceOutput>> Open(const std::string& path);
    // Takes `fd`, to close it.
    FileTraceOutput(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~FileTraceOutput() override;
    FileTraceOutput(const FileTraceOutput&) = delete;
    FileTraceOutput& operator=(const FileTraceOutput&) = delete;

    Result<void> Write(std::string_view bytes) override;
    std::string Name() const override { return "the trace file " + path_; }

  private:
    int fd_;
    std::string path_;
};

}  // namespace qvt::linux_app
