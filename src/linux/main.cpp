// qvt-update: the Linux build of the QVT-40 R3 updater.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string_view>
#include <vector>

#include "backend.h"
#include "launch_checks.h"
#include "log_file.h"
#include "options.h"
#include "queued_output.h"
#include "record_checks.h"
#include "sessions.h"
#include "signal_watch.h"
#include "terminal_text.h"
#include "texts.h"
#include "trace_files.h"

using namespace qvt::linux_app;
using qvt::Code;
using qvt::ExitStatus;
using qvt::Result;
namespace trace = qvt::trace;

namespace {

// One line on the error stream; whatever of it came from the user is made harmless there.
void Say(const std::string& line) {
    std::cerr << "qvt-update: " << ForTerminal(line) << '\n';
}

// Where the session's trace is written as it goes: the file given to --record, or beside a log
// file; none when neither was asked for or the file beside the log may not be written (said,
// and the session goes on). A usage error only for --record.
Result<std::unique_ptr<FileTraceOutput>> TraceOutputFor(const Options& options) {
    using Opened = Result<std::unique_ptr<FileTraceOutput>>;
    if (options.record_path) {
        Result<UniqueFd> fd = OpenRecordFile(*options.record_path, options);
        if (!fd) return Opened::Failure(fd.error());
        return std::make_unique<FileTraceOutput>(std::move(*fd), *options.record_path);
    }
    std::error_code error;
    const auto type = std::filesystem::status(options.log_path.value_or(""), error).type();
    // Only beside a log that is a file: not beside a pipe, a FIFO or a device.
    if (!options.log_path || (type != std::filesystem::file_type::regular &&
                              type != std::filesystem::file_type::not_found)) {
        return std::unique_ptr<FileTraceOutput>();
    }
    const std::string beside = TracePathBeside(*options.log_path);
    Result<UniqueFd> fd = OpenRecordFile(beside, options);
    if (fd) return std::make_unique<FileTraceOutput>(std::move(*fd), beside);
    Say(fd.error() + "; the log goes on without its trace");
    return std::unique_ptr<FileTraceOutput>();
}

int Main(int argc, char** argv) {
    std::vector<std::string_view> arguments(argv + 1, argv + argc);
    const Result<Options> parsed = ParseOptions(arguments);
    if (!parsed) {
        Say(parsed.error());
        return Code(ExitStatus::kUsage);
    }
    const Options& options = *parsed;
    if (options.help) {
        std::cout << UsageText();
        return Code(ExitStatus::kCompleted);
    }
    if (options.version) {
        std::cout << qvt::text::kTitle << '\n';
        return Code(ExitStatus::kCompleted);
    }
    // Everything the user named is checked before the log file is opened: a session that
    // cannot start never truncates it.
    std::optional<trace::Trace> replay;
    if (options.replay_path) {
        TraceFileRead read = ReadTraceFile(*options.replay_path);
        if (!read.trace) {
            Say(read.error);
            return read.usage_error ? Code(ExitStatus::kUsage) : Code(ExitStatus::kDataError);
        }
        replay = std::move(read.trace);
    }
    if (options.scenario_path && HoldsTrace(*options.scenario_path)) {
        Say("scenario file " + *options.scenario_path + " is a trace; run it with --replay");
        return Code(ExitStatus::kUsage);
    }
    auto created = Backend::Create(options, std::move(replay));
    if (!created) {
        Say(created.error());
        return Code(ExitStatus::kUsage);
    }
    Backend& backend = **created;
    // Both files are checked before either is opened: a refusal leaves both as they were.
    if (options.record_path) {
        if (const Result<void> usable = CheckRecordFile(*options.record_path, options); !usable) {
            Say(usable.error());
            return Code(ExitStatus::kUsage);
        }
    }
    std::optional<QueuedOutput> log;
    std::optional<LogTarget> log_target;
    if (options.log_path) {
        std::error_code ignored;
        if (options.replay_path &&
            std::filesystem::equivalent(*options.log_path, *options.replay_path, ignored)) {
            Say("the log file " + *options.log_path +
                " is the trace being replayed; writing it would destroy it");
            return Code(ExitStatus::kUsage);
        }
        Result<UniqueFd> opened = OpenLogFile(*options.log_path, options);
        if (!opened) {
            Say(opened.error());
            return Code(ExitStatus::kUsage);
        }
        log.emplace(std::move(*opened));
        log_target.emplace(LogTarget{*log, "the log file " + ForTerminal(*options.log_path)});
    }
    const LogTarget* log_to = log_target ? &*log_target : nullptr;
    auto trace_output = TraceOutputFor(options);
    if (!trace_output) {
        Say(trace_output.error());
        return Code(ExitStatus::kUsage);
    }
    FileTraceOutput* trace_file = trace_output->get();
    // From here on no output holds the session: each is written by a thread of its own, and
    // bounded as what it is (a redirection to a file has no reader to lose).
    QueuedOutput out(STDOUT_FILENO, QueuedOutput::BoundFor(STDOUT_FILENO)),
        errors(STDERR_FILENO, QueuedOutput::BoundFor(STDERR_FILENO));
    const OutputDrain drain = [&](const std::function<bool()>& stop) {
        return out.Drain(stop) && (!log || log->Drain(stop)) &&
               (!trace_file || trace_file->Drain(stop)) && errors.Drain(stop);
    };
    bool window = false;
#ifdef QVT_HAVE_GUI
    const bool has_display = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    if (!options.console && !options.replay_path && has_display) {
        const Result<void> display = CheckDisplay();
        window = bool(display);
        if (!window) {
            errors << "qvt-update: " << ForTerminal(display.error() + "; using the console")
                   << '\n';
        }
    }
#endif
    // The trace is kept wherever it can be saved: written as it goes, and in the window for
    // a log saved by hand.
    if (trace_file || window) {
        backend.Record(FrontEndName(options, window), options);
        if (trace_file) backend.recorder()->SetOutput(std::move(*trace_output));
    }
    if (options.replay_path) return RunReplay(options, backend, out, errors, log_to, drain);
#ifdef QVT_HAVE_GUI
    if (window) return RunWindow(argc, argv, options, backend, errors, log_to, drain);
#endif
    return RunConsole(options, backend, out, errors, log_to, drain);
}

}  // namespace

int main(int argc, char** argv) {
    IgnoreWriteSignals();
    MakeStandardDescriptorsValid();
    // What escapes the session's own handlers (an allocation that fails while the scenario is
    // read or the log opened, say) is an error that reached the top, not a crash.
    try {
        return Main(argc, argv);
    } catch (const std::exception& error) {
        // Nothing allocated here: the error may be that memory ran out.
        std::fprintf(stderr, "qvt-update: cannot go on: %s\n", error.what());
    } catch (...) {
        std::fputs("qvt-update: cannot go on\n", stderr);
    }
    return Code(ExitStatus::kInternal);
}
