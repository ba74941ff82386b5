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
