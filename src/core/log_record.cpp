#include "log_record.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "build_id.h"
#include "texts.h"

namespace qvt {
namespace {

// The part of a stamped line after its time stamp.
std::string_view Body(const std::string& line) {
    const auto space = line.find(' ', line.find(' ') + 1);
    return space == std::string::npos ? std::string_view(line)
                                      : std::string_view(line).substr(space + 1);
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

std::string LocalTimeStamp() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    char text[32] = "";
    // One GUI thread: the shared buffer of std::localtime is never raced.
    if (const std::tm* local = std::localtime(&seconds)) {
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
    }
    char stamped[40];
    std::snprintf(stamped, sizeof stamped, "%s.%03d", text, static_cast<int>(millis));
    return stamped;
}

std::string SaveLogFailedText(std::string_view path, std::string_view reason) {
    return std::string(text::kSaveLogFailed) + "\r\n" + std::string(path) + "\r\n" +
           std::string(reason);
}

std::string ProposedLogName() {
    const std::time_t seconds = std::time(nullptr);
    char text[40] = "QvtUpdate.log";
    if (const std::tm* local = std::localtime(&seconds)) {
        std::strftime(text, sizeof text, "QvtUpdate-%Y%m%d-%H%M%S.log", local);
    }
    return text;
}

std::vector<std::string> LogRecord::HeaderLines(const RecordHeader& header,
                                                std::string_view image_version) {
    return {
        "# " + std::string(text::kTitle),
        "# program: " + header.program + " " + std::string(text::kProgramVersion) + " (build " +
            QVT_BUILD_ID + ")",
        "# image: " + std::string(image_version),
        "# system: " + header.system,
        "# display: " + header.display,
        std::string("# unit: ") + (header.simulated ? "simulated" : "real"),
    };
}

LogRecord::LogRecord(std::vector<std::string> header, Stamp stamp)
    : header_(std::move(header)), stamp_(std::move(stamp)) {}

void LogRecord::Add(const std::string& line) {
    lines_.push_back(Stamped(line));
    if (mirror_) mirror_(lines_.back());
    KeepWithinCap();
}

void LogRecord::KeepWithinCap() {
    if (lines_.size() <= kLineCap) return;
    for (std::string_view kind : {"progress:", "status:", "start:", "force:"}) {
        const auto oldest = std::find_if(lines_.begin(), lines_.end(), [&](const std::string& l) {
            return StartsWith(Body(l), kind);
        });
        if (oldest != lines_.end()) {
            lines_.erase(oldest);
            return;
        }
    }
}

void LogRecord::Mirror(Sink sink) {
    mirror_ = std::move(sink);
    for (const std::string& line : header_) mirror_(line);
    for (const std::string& line : lines_) mirror_(line);
}

void LogRecord::Finish(std::string_view outcome) {
    if (mirror_) mirror_(Stamped("outcome: " + std::string(outcome)));
}

std::string LogRecord::Text(std::string_view outcome, std::string_view newline) const {
    std::string text;
    for (const std::string& line : header_) text += line + std::string(newline);
    for (const std::string& line : lines_) text += line + std::string(newline);
    text += Stamped("outcome: " + std::string(outcome)) + std::string(newline);
    return text;
}

}  // namespace qvt
