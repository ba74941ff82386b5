#pragma once

#include <functional>
#include <ostream>

#include "backend.h"
#include "log_record.h"
#include "options.h"
#include "signal_watch.h"
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

// What the record's header says of this machine and this session.
RecordHeader HeaderFor(const Options& options, std::string display);
// Mirrors the record into a stream, flushed after every line; a write that fails is told by
// the watch and never changes the run.
void MirrorRecord(LogRecord& record, std::ostream& log, WriteWatch& watch);

}  // namespace qvt::linux_app
