#pragma once

#include <functional>
#include <ostream>
#include <string>

namespace qvt::linux_app {

// Notices that an output (the transcript, the log file) has stopped taking lines and says so
// on the error stream: once when it happens, and again at the end of the session. The run
// itself goes on: a full disk or a closed pipe never cuts a flash short, and never silently.
class WriteWatch {
  public:
    // `name` as it reads after "cannot write": "the transcript", "the log file PATH".
    WriteWatch(std::ostream& errors, std::string name) : errors_(errors), name_(std::move(name)) {}

    // Flushes `stream`; a failure not yet told is told now, with the system's reason.
    void Flush(std::ostream& stream);
    // At the end of the session: one line if anything was lost.
    void Summarize();
    bool lost() const { return lost_; }

  private:
    std::ostream& errors_;
    std::string name_;
    std::string reason_;
    bool lost_ = false;
};

// Where the session mirrors its log record as it goes, and what to call it when it fails.
struct LogTarget {
    std::ostream& stream;
    std::string name;
};

// Waits until the session's outputs have written what they were handed, or lost it; false when
// `stop` ended the wait first. None for outputs that never keep the session waiting (the
// streams of an in-process session).
using OutputDrain = std::function<bool(const std::function<bool()>& stop)>;

}  // namespace qvt::linux_app
