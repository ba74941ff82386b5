#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "log_record.h"
#include "result.h"
#include "texts.h"
#include "window_layout.h"

namespace qvt {

// The rules of the window that are no business of the run, kept here once so that each
// platform's view only draws them.

// Where the focus goes when the window opens and after a run: Start if it is enabled, otherwise
// the force box if it is, otherwise the message, which always takes it. The disabled Start never
// holds the focus, so no key can press it.
Control FirstFocus(bool start_enabled, bool force_enabled);

// The record as the window offers it to a person: copied, or saved where they choose under a
// proposed name. Nothing is written unless they ask; the record is taken as it stands at the
// moment they ask, the session's standing as its last line.
class RecordOffer {
  public:
    enum class Command { kCopy, kSave };
    struct Entry {
        Command command;
        std::string_view caption;
    };
    // The commands in the order a menu lists them.
    static constexpr std::array<Entry, 2> kEntries{
        {{Command::kCopy, text::kCopyLog}, {Command::kSave, text::kSaveLog}}};

    // `standing` tells how the session stands when the record is taken.
    void Attach(const LogRecord& record, std::function<std::string()> standing) {
        record_ = &record;
        standing_ = std::move(standing);
    }
    // The whole record, lines joined by `newline`; empty before a record is attached.
    std::string Text(std::string_view newline) const;
    // The file name the save dialog proposes.
    static std::string ProposedName() { return ProposedLogName(); }
    // What the window says once a save to `path` has ended: nothing when it was saved; when it
    // was not, a box that says so, where, and why.
    static std::optional<std::string> AfterSave(std::string_view path, const Result<void>& saved);

  private:
    const LogRecord* record_ = nullptr;
    std::function<std::string()> standing_;
};

}  // namespace qvt
