#pragma once

#include <memory>
#include <optional>
#include <string>

#include "result.h"
#include "trace_recorder.h"
#include "unique_handle.h"

namespace qvt::win32 {

// What the program reads from its command line: `--record FILE`, and nothing else (anything
// else there is left alone, as it always was).
struct CommandLine {
    std::optional<std::wstring> record;
};
// The command line after the program's name, split as Windows programs split theirs (blanks
// between arguments, double quotes around one with blanks); why not, for --record without a
// file or given twice.
Result<CommandLine> ParseCommandLine(const wchar_t* line);

// Whether a recording may go to `path`: a file that is not there yet, an empty one or a trace.
// Anything else (a directory, someone's document, the program itself) is left as it is.
Result<void> MayRecordTo(const std::wstring& path);

// The session's trace written to the file --record named.
// Can: write each piece the recorder hands it, in order, and say why a write failed in the
// system's own words. Cannot: make the file shorter once written (a failure leaves what was
// written before it).
class TraceFile final : public trace::TraceOutput {
  public:
    static Result<std::unique_ptr<TraceFile>> Open(const std::wstring& path);
    TraceFile(UniqueFile file, std::wstring path)
        : file_(std::move(file)), path_(std::move(path)) {}

    Result<void> Write(std::string_view bytes) override;
    std::string Name() const override;

  private:
    UniqueFile file_;
    std::wstring path_;
};

}  // namespace qvt::win32
