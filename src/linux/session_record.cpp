#include <sys/utsname.h>

#include "sessions.h"

namespace qvt::linux_app {

RecordHeader HeaderFor(const Options& options, std::string display) {
    RecordHeader header;
    header.program = "qvt-update";
    struct utsname system = {};
    header.system = uname(&system) == 0
                        ? std::string(system.sysname) + " " + system.release + " " + system.machine
                        : "Linux";
    header.display = std::move(display);
    header.simulated = options.simulate;
    return header;
}

std::string FrontEndName(const Options& options, bool window) {
    if (window) return "window";
    if (options.station) return "station";
    if (options.check) return "check";
    return options.json ? "json" : "console";
}

TraceNotices::TraceNotices(Backend& backend, Updater& updater) : recorder_(backend.recorder()) {
    if (recorder_) {
        recorder_->SetNotice(
            [&updater](const std::string& line) { updater.model.ShowNotice(line); });
    }
}

TraceNotices::~TraceNotices() {
    if (recorder_) recorder_->SetNotice(nullptr);
}

void MirrorRecord(LogRecord& record, std::ostream& log, WriteWatch& watch) {
    record.Mirror([&log, &watch](const std::string& line) {
        log << line << '\n';
        watch.Flush(log);
    });
}

int EndSession(int status, const OutputDrain& drain, SignalWatch& close_requests,
               const std::function<void()>& summarize) {
    int signal = 0;
    const auto stop = [&] { return (signal = close_requests.Take()) != 0; };
    if (drain && !drain(stop)) return Code(ExitStatus::kSignalBase) + signal;
    summarize();
    if (drain && !drain(stop)) return Code(ExitStatus::kSignalBase) + signal;
    return status;
}

}  // namespace qvt::linux_app
