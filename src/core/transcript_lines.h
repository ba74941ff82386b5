#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "form_view.h"

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
class TranscriptLines {
  public:
    using Sink = std::function<void(const std::string& line)>;
    // Emits the five lines of the controls at creation at once.
    explicit TranscriptLines(Sink sink);

    void Message(std::string_view text);
    void Status(const StatusPanel& status);
    void Log(std::string_view line);
    void Progress(int position, int maximum);
    void Start(bool enabled);
    void Force(bool enabled, bool checked);
    void Box(std::string_view text);

  private:
    void Emit(std::string& last, std::string line);

    Sink sink_;
    // The last line of each kind, so that only changes are emitted.
    std::string message_, status_, progress_, start_, force_;
};

}  // namespace qvt
