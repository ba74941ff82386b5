#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "clock.h"
#include "result.h"
#include "trace.h"

namespace qvt::trace {

// Where a recording goes as the session runs: a file, on each platform its own way.
class TraceOutput {
  public:
    virtual ~TraceOutput() = default;
    // All of `bytes`, or the system's reason why not.
    virtual Result<void> Write(std::string_view bytes) = 0;
    // As it reads after "cannot write": "the trace file /tmp/a.trace.jsonl".
    virtual std::string Name() const = 0;
};

// The session's trace, kept in memory (at most kMaxCalls calls) and, given an output, written
// there from that buffer: in pieces of at least 64 KiB, and before a sleep once a second has
// passed since the last write, so that neither a write per call nor a crash costs much. A
// write that fails is told once and ends the writing; the recording in memory and the run go
// on. The recording ports (recording_ports.h) tell it every call.
class TraceRecorder {
  public:
    // `clock` is the clock the ports' adapters use, undecorated: times count from now on it.
    TraceRecorder(Header header, const Clock& clock);

    // What the header will say; fixed once the first line is written.
    Header& header() { return header_; }
    // Where to write, and whom to tell a failed write or a full recording (once each).
    void SetOutput(std::unique_ptr<TraceOutput> output);
    void SetNotice(std::function<void(const std::string&)> tell) { tell_ = std::move(tell); }

    // A call that has just returned, stamped with the time now.
    void Add(Call call);
    // A sleep about to start, and one that has ended: equal sleeps in a row share a line.
    void BeforeSleep();
    void Slept(std::uint32_t ms);
    // The handle number an open that succeeded gets, and a path's number in listing order.
    int NextHandle() { return ++handles_; }
    int PathNumber(const std::string& path);

    // Closes the trace with the session's outcome and writes what is left; calls after it
    // (handles closed as the program winds down) are not the session's and are not kept.
    void Finish(const End& end);
    bool finished() const { return finished_; }
    // The whole trace as it stands, closed by `end`: what is saved beside a log mid-session.
    std::string Text(const End& end);
    std::size_t calls() const { return calls_; }

  private:
    std::uint64_t Now() const { return clock_.NowMs() - origin_; }
    void Append(const std::string& line);
    void EndSleepRun();
    // Whether one more call fits; the first that does not is told and cuts the recording.
    bool Room();
    void Write();

    Header header_;
    const Clock& clock_;
    const std::uint64_t origin_;
    std::string lines_;  // every line so far, each with its newline
    std::size_t written_ = 0;
    std::uint64_t last_t_ = 0;
    std::uint64_t last_write_t_ = 0;
    std::size_t calls_ = 0;
    bool cut_ = false;
    bool finished_ = false;
    // The run of equal sleeps not yet on a line.
    std::uint32_t sleep_ms_ = 0;
    std::size_t sleeps_ = 0;
    std::uint64_t sleep_end_t_ = 0;
    int handles_ = 0;
    std::map<std::string, int> paths_;
    std::unique_ptr<TraceOutput> output_;
    bool output_failed_ = false;  // a write failed: nothing more is written
    std::function<void(const std::string&)> tell_;
};

}  // namespace qvt::trace
