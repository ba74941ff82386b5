#include <ostream>
#include <sstream>

#include "sessions.h"
#include "signal_watch.h"
#include "terminal_text.h"
#include "texts.h"

namespace qvt::linux_app {
namespace {

void Say(std::ostream& errors, const std::string& line) {
    errors << "qvt-update: " << ForTerminal(line) << '\n';
}

}  // namespace

int RunReplay(const Options& options, Backend& backend, std::ostream& out, std::ostream& errors,
              const LogTarget* log, const OutputDrain& drain) {
    trace::Replayer& replay = *backend.replayer();
    const trace::Header& header = replay.header();
    // Driven as the recorded session was; the clicks themselves are where the trace has them.
    Options session = options;
    session.force = header.force;
    session.station = header.front_end == "station";
    session.check = header.front_end == "check";
    session.units = header.units;
    if (replay.lenient()) {
        Say(errors,
            "the trace comes from " + header.program + " " + header.program_version + " (build " +
                header.build + "), this is " + std::string(text::kProgramVersion) +
                ": its calls are matched by kind alone, and where they differ is told at the end");
    }
    // What the session showed up to a divergence is what the report speaks of; after it the
    // ports answer nothing, and what the session shows then is not the trace's.
    std::ostringstream transcript;
    std::string::size_type shown = std::string::npos;
    replay.OnDiverged([&] { shown = static_cast<std::string::size_type>(transcript.tellp()); });
    const int status = RunConsole(session, backend, transcript, errors, log);
    out << transcript.str().substr(0, shown) << std::flush;
    for (const std::string& note : replay.notes()) Say(errors, "differs: " + note);
    if (replay.notes_left_out() != 0) {
        Say(errors, "differs: " + std::to_string(replay.notes_left_out()) + " more calls");
    }
    int replayed = status;
    if (replay.diverged()) {
        Say(errors, replay.report());
        replayed = Code(ExitStatus::kReplayDiverged);
    }
    errors.flush();
    SignalWatch close_requests;
    return EndSession(replayed, drain, close_requests, [] {});
}

}  // namespace qvt::linux_app
