// A scenario read from a file: only a regular file, at most one byte past the size cap.
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "scenario.h"

namespace qvt::sim {

Result<Scenario> LoadScenarioFile(const std::string& path) {
    namespace fs = std::filesystem;
    const std::string named = "scenario file " + path;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error) return Result<Scenario>::Failure("cannot read " + named + ": " + error.message());
    // Only a file is read: a FIFO without a writer would wait for ever, a device such as
    // /dev/zero never ends, and a directory is no text at all.
    switch (status.type()) {
        case fs::file_type::regular:
            break;
        case fs::file_type::directory:
            return Result<Scenario>::Failure(named + " is a directory");
        case fs::file_type::fifo:
            return Result<Scenario>::Failure(named + " is a FIFO (named pipe), not a regular file");
        case fs::file_type::character:
        case fs::file_type::block:
            return Result<Scenario>::Failure(named + " is a device, not a regular file");
        case fs::file_type::socket:
            return Result<Scenario>::Failure(named + " is a socket, not a regular file");
        default:
            return Result<Scenario>::Failure(named + " is not a regular file");
    }
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return Result<Scenario>::Failure("cannot read " + named + ": " + std::strerror(errno));
    // One byte past the cap tells a file that is too large, whatever its size claims.
    std::string text(kMaxScenarioBytes + 1, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (file.bad())
        return Result<Scenario>::Failure("cannot read " + named + ": " + std::strerror(errno));
    text.resize(static_cast<std::size_t>(file.gcount()));
    auto result = ParseScenario(text);
    if (!result) return Result<Scenario>::Failure(path + ": " + result.error());
    return result;
}

}  // namespace qvt::sim
