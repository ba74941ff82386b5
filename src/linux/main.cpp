// qvt-update: the Linux build of the QVT-40 R3 updater.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string_view>
#include <vector>

#include "backend.h"
#include "launch_checks.h"
#include "options.h"
#include "record_checks.h"
#include "sessions.h"
#include "signal_watch.h"
#include "terminal_text.h"
#include "texts.h"
#include "trace_files.h"

using namespace qvt::linux_app;
using qvt::Result;
namespace trace = qvt::trace;

namespace {

// One line on the error stream; whatever of it came from the user is made harmless there.
void Say(const std::string& line) {
    std::cerr << "qvt-update: " << ForTerminal(line) << '\n';
}

// Where the session's trace goes: --record's file, or beside a log file; none when neither is
// asked for or the file beside the log may not be written (said, and the session goes on).
// A usage error only for --record.
Result<std::unique_ptr<trace::TraceOutput>> TraceOutputFor(const Options& options) {
    using Opened = Result<std::unique_ptr<trace::TraceOutput>>;
    if (options.record_path) {
        auto output = FileTraceOutput::Open(*options.record_path);
        if (!output) return Opened::Failure(output.error());
        return std::unique_ptr<trace::TraceOutput>(std::move(*output));
    }
    std::error_code error;
    const auto type = std::filesystem::status(options.log_path.value_or(""), error).type();
    // Only beside a log that is a file: not beside a pipe, a FIFO or a device.
    if (!options.log_path || (type != std::filesystem::file_type::regular &&
                              type != std::filesystem::file_type::not_found)) {
        return std::unique_ptr<trace::TraceOutput>();
    }
    const std::string beside = TracePathBeside(*options.log_path);
    Result<void> usable = CheckRecordPath(beside, options);
    if (usable) {
        auto output = FileTraceOutput::Open(beside);
        if (output) return std::unique_ptr<trace::TraceOutput>(std::move(*output));
        usable = Result<void>::Failure(output.error());
    }
    Say(usable.error() + "; the log goes on without its trace");
    return std::unique_ptr<trace::TraceOutput>();
}

int Main(int argc, char** argv) {
    std::vector<std::string_view> arguments(argv + 1, argv + argc);
    const Result<Options> parsed = ParseOptions(arguments);
    if (!parsed) {
        Say(parsed.error());
        return kExitUsage;
    }
    const Options& options = *parsed;
    if (options.help) {
        std::cout << UsageText();
        return kExitCompleted;
    }
    if (options.version) {
        std::cout << qvt::text::kTitle << '\n';
        return kExitCompleted;
    }
    // Everything the user named is checked before the log file is opened: a session that
    // cannot start never truncates it.
    std::optional<qvt::trace::Trace> replay;
    if (options.replay_path) {
        TraceFileRead read = ReadTraceFile(*options.replay_path);
        if (!read.trace) {
            Say(read.error);
            return read.usage_error ? kExitUsage : kExitDataError;
        }
        replay = std::move(read.trace);
    }
    if (options.scenario_path && HoldsTrace(*options.scenario_path)) {
        Say("scenario file " + *options.scenario_path + " is a trace; run it with --replay");
        return kExitUsage;
    }
    auto created = Backend::Create(options, std::move(replay));
    if (!created) {
        Say(created.error());
        return kExitUsage;
    }
    Backend& backend = **created;
    std::ofstream log;
    std::optional<LogTarget> log_target;
    if (options.log_path) {
        if (const Result<void> usable = CheckLogPath(*options.log_path, options); !usable) {
            Say(usable.error());
            return kExitUsage;
        }
        std::error_code ignored;
        if (options.replay_path &&
            std::filesystem::equivalent(*options.log_path, *options.replay_path, ignored)) {
            Say("the log file " + *options.log_path +
                " is the trace being replayed; writing it would destroy it");
            return kExitUsage;
        }
    }
    if (options.record_path) {
        if (const Result<void> usable = CheckRecordPath(*options.record_path, options); !usable) {
            Say(usable.error());
            return kExitUsage;
        }
    }
    if (options.log_path) {
        log.open(*options.log_path, std::ios::out | std::ios::trunc | std::ios::binary);
        if (!log) {
            Say("cannot open the log file " + *options.log_path + ": " + std::strerror(errno));
            return kExitUsage;
        }
        log_target.emplace(LogTarget{log, "the log file " + ForTerminal(*options.log_path)});
    }
    const LogTarget* log_to = log_target ? &*log_target : nullptr;
    auto trace_output = TraceOutputFor(options);
    if (!trace_output) {
        Say(trace_output.error());
        return kExitUsage;
    }
    bool window = false;
#ifdef QVT_HAVE_GUI
    const bool has_display = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    if (!options.console && has_display) {
        const Result<void> display = CheckDisplay();
        window = bool(display);
        if (!window) Say(display.error() + "; using the console");
    }
#endif
    // The trace is kept wherever it can be saved: written as it goes, and in the window for
    // a log saved by hand.
    if (*trace_output || window) {
        backend.Record(FrontEndName(options, window), options);
        if (*trace_output) backend.recorder()->SetOutput(std::move(*trace_output));
    }
    if (options.replay_path) return RunReplay(options, backend, std::cout, std::cerr, log_to);
#ifdef QVT_HAVE_GUI
    if (window) return RunWindow(argc, argv, options, backend, log_to);
#endif
    return RunConsole(options, backend, std::cout, std::cerr, log_to);
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
    return kExitSoftware;
}
