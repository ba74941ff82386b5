#include <exception>
#include <string>

#include "clicks.h"
#include "console_station.h"
#include "console_window_view.h"
#include "product_table.h"
#include "sessions.h"
#include "signal_watch.h"
#include "updater.h"

namespace qvt::linux_app {
namespace {

// The session from the window's creation to its close.
SessionEnd Run(const Options& options, Updater& updater, SignalWatch& signals,
               ConsoleWindowView& view, Backend& backend) {
    // A signal is a close request: refused with the box while a run is on, as the window's
    // close is; otherwise the program ends as a close would.
    int closed_by = 0;
    auto attend = [&] {
        if (const int signal = signals.Take(); signal != 0 && updater.form.FormClose()) {
            closed_by = signal;
        }
    };
    view.SetPumpHook(attend);
    const bool loaded = updater.form.FormCreate();
    trace::Replayer* replay = backend.replayer();
    // A replay ends where the recorded session was ended (by a signal, say), and makes no
    // further click once it has stopped: its ports no longer answer.
    auto stop = [&] {
        attend();
        return closed_by != 0 || (replay && (replay->stopped() || replay->OnlyClosesLeft()));
    };
    if (options.check) {
        // The window's start-up check is the whole session: shown, reported, nothing clicked.
        // A close request during it ends the session without the report: no status is told
        // that the exit status contradicts.
        updater.form.FormClose();
        const int status =
            loaded ? Code(StatusOf(updater.form.finding())) : Code(ExitStatus::kImageError);
        const std::string outcome = "checked: " + std::string(ExitStatusName(status));
        if (closed_by) return {Code(ExitStatus::kSignalBase) + closed_by, outcome};
        if (loaded) {
            const CheckReport report = ReportCheck(updater);
            view.ShowCheck(report);
            for (const std::string& line : CheckLines(report)) updater.record.Add(line);
        }
        return {status, outcome};
    }
    if (loaded && options.station) {
        const StationHooks hooks{stop, [&] { return backend.BenchQuiet(options); }};
        const SessionEnd end = RunStation(updater, view, backend.clock(), options, hooks);
        updater.form.FormClose();
        return end;
    }
    if (loaded && !closed_by) {
        ApplyForce(updater, options);
        auto told = [&view](const RunOutcome& outcome) { view.ShowOutcome(outcome); };
        if (replay) {
            ClickAsTraced(updater, *replay, stop, told);
        } else {
            ClickStartWhileEnabled(updater, options, stop, told);
        }
    }
    if (closed_by) return {Code(ExitStatus::kSignalBase) + closed_by, updater.Standing()};
    updater.form.FormClose();
    return {ExitStatusOf(updater, loaded), updater.Standing()};
}

int Session(const Options& options, Backend& backend, ConsoleWindowView& view, SignalWatch& signals,
            const LogTarget* log, WriteWatch& log_watch) {
    Updater updater(Ports{backend.Traced(view), backend.clock(), backend.driver(), backend.bus(),
                          backend.resource(), ProductDescrambleTable(),
                          HeaderFor(options, "none (console)"), backend.awake()});
    if (log) MirrorRecord(updater.record, log->stream, log_watch);
    // Before the start-up check: a check opens no unit for reports, so none can be sent one.
    if (options.check) updater.link.InspectOnly();
    const TraceNotices notices(backend, updater);
    const SessionEnd end = Run(options, updater, signals, view, backend);
    updater.record.Finish(end.standing);
    backend.FinishTrace(end.standing, end.status);
    return end.status;
}

}  // namespace

int RunConsole(const Options& options, Backend& backend, std::ostream& out, std::ostream& errors,
               const LogTarget* log, const OutputDrain& drain) {
    SignalWatch signals;
    ConsoleWindowView view(out, errors, backend.clock(), options.json, options.progress);
    WriteWatch log_watch(errors, log ? log->name : std::string());
    int status = Code(ExitStatus::kInternal);
    // Whatever escapes is shown the way the window's process entry shows it: in its box.
    try {
        status = Session(options, backend, view, signals, log, log_watch);
    } catch (const std::exception& error) {
        view.ShowModalBox(error.what());
    } catch (...) {
        view.ShowModalBox("");
    }
    return EndSession(status, drain, signals, [&] {
        view.Finish();
        if (log) log_watch.Flush(log->stream);
        log_watch.Summarize();
    });
}

}  // namespace qvt::linux_app
