#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qvt {

// Local wall-clock time with milliseconds, "2026-12-08 16:30:01.123".
std::string LocalTimeStamp();
// The name a saved record is offered under: "QvtUpdate-YYYYMMDD-HHMMSS.log", in local time.
std::string ProposedLogName();
// What the window says when the record could not be saved: that it was not, where, and the
// system's reason, a line each.
std::string SaveLogFailedText(std::string_view path, std::string_view reason);

// What the process tells about itself at the top of its record.
struct RecordHeader {
    std::string program;  // the program's name
    std::string system;   // operating system and version
    std::string display;  // how the window is drawn: its scale, or none
    bool simulated = false;
};

// The record of this process that support asks for: a header, every line the window showed
// with its local time stamp, then the outcome. Kept in memory and written only where a person
// asks for it. Bounded: beyond a generous cap the oldest progress lines go first, then other
// state lines; message, log and box lines are never dropped.
class LogRecord {
  public:
    static constexpr std::size_t kLineCap = 20000;
    using Sink = std::function<void(const std::string& line)>;
    using Stamp = std::function<std::string()>;

    explicit LogRecord(std::vector<std::string> header, Stamp stamp = LocalTimeStamp);

    void Add(const std::string& line);
    // Every line so far, header first, then each line as it comes: a file that loses nothing
    // written before a crash or a pulled plug.
    void Mirror(Sink sink);
    // The outcome's line, to the mirror; the record itself takes outcomes as it is read.
    void Finish(std::string_view outcome);
    // The whole record with the outcome as it stands, lines joined by `newline`.
    std::string Text(std::string_view outcome, std::string_view newline) const;

    const std::vector<std::string>& header() const { return header_; }
    const std::deque<std::string>& lines() const { return lines_; }

    static std::vector<std::string> HeaderLines(const RecordHeader& header,
                                                std::string_view image_version);

  private:
    void KeepWithinCap();
    std::string Stamped(std::string_view line) const { return stamp_() + " " + std::string(line); }

    std::vector<std::string> header_;
    Stamp stamp_;
    std::deque<std::string> lines_;
    Sink mirror_;
};

}  // namespace qvt
