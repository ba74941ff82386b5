#include "trace_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "trace_lines.h"

namespace qvt::linux_app {
namespace {

namespace fs = std::filesystem;

// A file that holds hundreds of thousands of calls at most is far smaller than this.
constexpr std::uintmax_t kMaxTraceBytes = 64 * 1024 * 1024;

}  // namespace

std::string TracePathBeside(const std::string& log_path) {
    const fs::path path(log_path);
    if (path.extension() == ".log")
        return fs::path(path).replace_extension(".trace.jsonl").string();
    return log_path + ".trace.jsonl";
}

bool HoldsTrace(const std::string& path) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return false;
    // A header is one line of a few hundred bytes; a line longer than a trace allows is none.
    std::ifstream file(path, std::ios::binary);
    std::string first(trace::kMaxLineBytes, '\0');
    file.read(first.data(), static_cast<std::streamsize>(first.size()));
    first.resize(static_cast<std::size_t>(file.gcount()));
    const auto end = first.find('\n');
    return end != std::string::npos && trace::IsTraceHeader(first.substr(0, end));
}

Result<void> MayOverwriteWithTrace(const std::string& path) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return {};  // --log's checks take the rest
    if (fs::file_size(path, error) == 0 || HoldsTrace(path)) return {};
    return Result<void>::Failure("the trace file " + path +
                                 " holds something else than a trace; it is left as it is");
}

TraceFileRead ReadTraceFile(const std::string& path) {
    TraceFileRead read;
    const std::string named = "trace file " + path;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    read.usage_error = true;
    if (error) {
        read.error = "cannot read " + named + ": " + error.message();
        return read;
    }
    if (status.type() != fs::file_type::regular) {
        read.error = named + (status.type() == fs::file_type::directory ? " is a directory"
                                                                        : " is not a regular file");
        return read;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        read.error = "cannot read " + named + ": " + std::strerror(errno);
        return read;
    }
    read.usage_error = false;
    // Read up to one byte past the cap, which tells a file that is too large whatever its
    // size claims.
    std::string text;
    char chunk[64 * 1024];
    while (text.size() <= kMaxTraceBytes && file.read(chunk, sizeof chunk).gcount() > 0) {
        text.append(chunk, static_cast<std::size_t>(file.gcount()));
    }
    if (file.bad()) {
        read.usage_error = true;
        read.error = "cannot read " + named + ": " + std::strerror(errno);
        return read;
    }
    if (text.size() > kMaxTraceBytes) {
        read.error = path + ": larger than 64 MiB";
        return read;
    }
    Result<trace::Trace> parsed = trace::ParseTrace(text);
    if (!parsed) {
        read.error = path + ": " + parsed.error();
        return read;
    }
    read.trace = std::move(*parsed);
    return read;
}

Result<void> FileTraceOutput::Write(std::string_view bytes) {
    out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out_.flush();
    if (!out_) return Result<void>::Failure(std::strerror(errno));
    return {};
}

}  // namespace qvt::linux_app
