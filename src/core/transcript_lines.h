#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "window_view.h"

namespace qvt {

// The window as lines of text: first every control's state at creation, then one line for
// each change a control shows (log and box lines always), in one format wherever they are
// read: on the console, in the log record, in a saved log.
//
//   message: <text>          (a CR LF inside a text written as the two characters \n)
//   status: <shown|hidden> fg=0x<8 hex digits> bg=0x<8 hex digits> caption=<caption>
//   log: <line>
//   progress: <position>/<maximum>
//   start: <enabled|disabled>
//   force: <enabled|disabled> <checked|unchecked>
//   box: <text>
// One change the window shows: the transcript's line for it, and what it says in parts, for a
// reader that takes another format.
struct TranscriptEntry {
    enum class Kind { kMessage, kStatus, kLog, kProgress, kStart, kForce, kBox };
    Kind kind = Kind::kMessage;
    std::string line;
    std::string text;      // message, log line or box text as shown; the status caption
    StatusPanel status;    // kStatus
    int position = 0;      // kProgress
    int maximum = 0;       // kProgress
    bool enabled = false;  // kStart, kForce
    bool checked = false;  // kForce
};

class TranscriptLines {
  public:
    using Sink = std::function<void(const std::string& line)>;
    using EntrySink = std::function<void(const TranscriptEntry& entry)>;
    // Emits the five lines of the controls at creation at once.
    explicit TranscriptLines(Sink sink);
    explicit TranscriptLines(EntrySink sink);

    void Message(std::string_view text);
    void Status(const StatusPanel& status);
    void Log(std::string_view line);
    void Progress(int position, int maximum);
    void Start(bool enabled);
    void Force(bool enabled, bool checked);
    void Box(std::string_view text);

  private:
    // Emits the entry unless its line is the last of its kind; log and box lines always go.
    void Emit(std::string* last, TranscriptEntry entry);

    EntrySink sink_;
    // The last line of each kind, so that only changes are emitted.
    std::string message_, status_, progress_, start_, force_;
};

}  // namespace qvt
