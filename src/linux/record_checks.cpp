#include "record_checks.h"

#include <filesystem>

#include "log_file.h"
#include "trace_files.h"

namespace qvt::linux_app {
namespace {

namespace fs = std::filesystem;

// The same file, or the same name for a file that is not there yet.
bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    if (fs::equivalent(a, b, error) && !error) return true;
    const fs::path one = fs::weakly_canonical(a, error);
    if (error) return false;
    return one == fs::weakly_canonical(b, error) && !error;
}

}  // namespace

Result<void> CheckRecordFile(const std::string& path, const Options& options) {
    if (Result<void> place = CheckLogPlace(path, options, "the trace file"); !place) return place;
    if (options.replay_path && SameFile(path, *options.replay_path)) {
        return Result<void>::Failure("the trace file " + path +
                                     " is the trace being replayed; writing it would destroy it");
    }
    if (options.log_path && SameFile(path, *options.log_path)) {
        return Result<void>::Failure("the trace file " + path + " is the log file");
    }
    return MayOverwriteWithTrace(path);
}

Result<UniqueFd> OpenRecordFile(const std::string& path, const Options& options) {
    if (Result<void> usable = CheckRecordFile(path, options); !usable) {
        return Result<UniqueFd>::Failure(usable.error());
    }
    return OpenLogFile(path, options, "the trace file");
}

}  // namespace qvt::linux_app
