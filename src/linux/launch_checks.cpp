#include "launch_checks.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>

#ifdef QVT_HAVE_GUI
#include <xcb/xcb.h>
#endif

namespace qvt::linux_app {
namespace {

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

}  // namespace

void MakeStandardDescriptorsValid() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lowest free number: this one, since those below it are valid by now.
        const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
}

Result<void> CheckLogPath(const std::string& path, const Options& options) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        return Result<void>::Failure("the log file " + path + " is a directory");
    }
    if (options.scenario_path && SameFile(path, *options.scenario_path)) {
        return Result<void>::Failure("the log file " + path +
                                     " is the scenario file; writing it would destroy it");
    }
    if (SameFile(path, "/proc/self/exe")) {
        return Result<void>::Failure("the log file " + path +
                                     " is this program; writing it would destroy it");
    }
    // Opening a FIFO for writing waits for a reader, for ever if none comes; a pipe to a reader
    // (`--log >(tee ...)`) is fine.
    if (std::filesystem::is_fifo(path, error)) {
        const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            return Result<void>::Failure("the log file " + path + " is a FIFO with no reader (" +
                                         std::strerror(errno) + ")");
        }
        close(fd);
    }
    return {};
}

Result<void> CheckDisplay() {
#ifdef QVT_HAVE_GUI
    // Another platform named on purpose (offscreen, wayland) is Qt's to start.
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform && std::string_view(platform).substr(0, 3) != "xcb") {
        return {};
    }
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return {};
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const int failed = xcb_connection_has_error(connection);
    xcb_disconnect(connection);
    if (failed)
        return Result<void>::Failure("cannot open the display \"" + std::string(display) + "\"");
#endif
    return {};
}

}  // namespace qvt::linux_app
