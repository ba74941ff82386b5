// qvt-update: the Linux build of the QVT-40 R3 updater.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string_view>
#include <vector>

#include "backend.h"
#include "launch_checks.h"
#include "log_file.h"
#include "options.h"
#include "queued_output.h"
#include "sessions.h"
#include "signal_watch.h"
#include "terminal_text.h"
#include "texts.h"

using namespace qvt::linux_app;
using qvt::Result;

namespace {

// One line on the error stream; whatever of it came from the user is made harmless there.
void Say(const std::string& line) {
    std::cerr << "qvt-update: " << ForTerminal(line) << '\n';
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
    auto created = Backend::Create(options);
    if (!created) {
        Say(created.error());
        return kExitUsage;
    }
    Backend& backend = **created;
    std::optional<QueuedOutput> log;
    std::optional<LogTarget> log_target;
    if (options.log_path) {
        Result<UniqueFd> opened = OpenLogFile(*options.log_path, options);
        if (!opened) {
            Say(opened.error());
            return kExitUsage;
        }
        log.emplace(std::move(*opened));
        log_target.emplace(LogTarget{*log, "the log file " + ForTerminal(*options.log_path)});
    }
    const LogTarget* log_to = log_target ? &*log_target : nullptr;
    // From here on no output holds the session: each is written by a thread of its own.
    QueuedOutput out(STDOUT_FILENO), errors(STDERR_FILENO);
    const OutputDrain drain = [&](const std::function<bool()>& stop) {
        return out.Drain(stop) && (!log || log->Drain(stop)) && errors.Drain(stop);
    };
#ifdef QVT_HAVE_GUI
    const bool has_display = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    if (!options.console && has_display) {
        if (const Result<void> display = CheckDisplay(); !display) {
            errors << "qvt-update: " << ForTerminal(display.error() + "; using the console")
                   << '\n';
        } else {
            return RunWindow(argc, argv, options, backend, errors, log_to, drain);
        }
    }
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
    return kExitSoftware;
}
