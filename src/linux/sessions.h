#pragma once

#include <functional>
#include <ostream>

#include "backend.h"
#include "log_record.h"
#include "options.h"
#include "signal_watch.h"
#include "updater.h"
#include "write_watch.h"

namespace qvt::linux_app {

// A whole session of the program, from window creation to close; returns the exit status,
// which tells the update's outcome even when an output was lost (that is told on `errors`).
// `log`, when given, receives the log record as the session goes. `drain`, when given, is what
// the session waits for once it has ended (see EndSession).
int RunConsole(const Options& options, Backend& backend, std::ostream& out, std::ostream& errors,
               const LogTarget* log = nullptr, const OutputDrain& drain = {});
// `shown`, when given, is called from the event loop once the window is shown.
int RunWindow(int& argc, char** argv, const Options& options, Backend& backend,
              std::ostream& errors, const LogTarget* log = nullptr, const OutputDrain& drain = {},
              const std::function<void()>& shown = {});

// The end of a session whose exit status is `status`: its outputs may take their time now, and
// are waited for as an idle program waits, so that a close signal ends the wait with 128 + its
// number. Once they are written, `summarize` tells what was lost, and that is waited for too.
int EndSession(int status, const OutputDrain& drain, SignalWatch& close_requests,
               const std::function<void()>& summarize);

// While it lives, what the session's recorder has to tell (a write that failed, a recording
// that is full) is a notice of the session's window.
class TraceNotices {
  public:
    TraceNotices(Backend& backend, Updater& updater);
    ~TraceNotices();
    TraceNotices(const TraceNotices&) = delete;
    TraceNotices& operator=(const TraceNotices&) = delete;

  private:
    trace::TraceRecorder* recorder_;
};

// The session of a trace given to --replay (the backend plays it): the transcript up to the
// first call that differs, and the status of the replayed session, or
// Code(ExitStatus::kReplayDiverged) with the report on the error stream. `drain` is waited for at
// the end, as a session's.
int RunReplay(const Options& options, Backend& backend, std::ostream& out, std::ostream& errors,
              const LogTarget* log = nullptr, const OutputDrain& drain = {});
// How a session is driven, as a trace's header says it: "window", "station", "json", "console".
std::string FrontEndName(const Options& options, bool window);

// What the record's header says of this machine and this session.
RecordHeader HeaderFor(const Options& options, std::string display);
// Mirrors the record into a stream, flushed after every line; a write that fails is told by
// the watch and never changes the run.
void MirrorRecord(LogRecord& record, std::ostream& log, WriteWatch& watch);

}  // namespace qvt::linux_app
