#include "launch_checks.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef QVT_HAVE_GUI
#include <sys/socket.h>
#include <sys/un.h>
#include <xcb/xcb.h>

#include <QLibraryInfo>
#include <QString>

#include "unique_fd.h"
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

#ifdef QVT_HAVE_GUI
namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(separator, from)) != std::string::npos; from = at + 1) {
        parts.push_back(text.substr(from, at - from));
    }
    parts.push_back(text.substr(from));
    return parts;
}

// The platforms Qt 6 tries, in its order, until one starts: those QT_QPA_PLATFORM names, or X
// where DISPLAY is set and Wayland where WAYLAND_DISPLAY is (first, but after X on GNOME), and X
// last as the build's default.
std::vector<std::string> PlatformsQtTries() {
    if (const std::string named = Environment("QT_QPA_PLATFORM"); !named.empty()) {
        return Split(named, ';');
    }
    const bool x = std::getenv("DISPLAY") != nullptr;
    std::vector<std::string> order;
    if (x) order.push_back("xcb");
    if (std::getenv("WAYLAND_DISPLAY") || Environment("XDG_SESSION_TYPE") == "wayland") {
        const std::string desktops = QString::fromStdString(Environment("XDG_CURRENT_DESKTOP") +
                                                            Environment("XDG_SESSION_DESKTOP"))
                                         .toLower()
                                         .toStdString();
        const bool gnome = desktops.find("gnome") != std::string::npos;
        order.insert(gnome ? order.end() : order.begin(), "wayland");
    }
    if (!x) order.push_back("xcb");
    return order;
}

// Whether Qt has the plugin of that platform, where it looks for them.
bool HasPlatform(const std::string& name) {
    std::vector<std::string> folders = Split(Environment("QT_QPA_PLATFORM_PLUGIN_PATH"), ':');
    for (const std::string& folder : Split(Environment("QT_PLUGIN_PATH"), ':')) {
        folders.push_back(folder + "/platforms");
    }
    folders.push_back(QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString() + "/platforms");
    for (const std::string& folder : folders) {
        if (folder.empty() || folder == "/platforms") continue;
        for (const std::string& file : {"libq" + name + ".so", "libq" + name + "-generic.so"}) {
            if (access((folder + "/" + file).c_str(), R_OK) == 0) return true;
        }
    }
    return false;
}

bool XDisplayAnswers() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool answers = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return answers;
}

// As libwayland finds it: WAYLAND_DISPLAY (by default "wayland-0"), a path or a name in
// XDG_RUNTIME_DIR.
std::string WaylandDisplay() {
    const std::string name = Environment("WAYLAND_DISPLAY");
    return name.empty() ? "wayland-0" : name;
}

bool WaylandDisplayAnswers() {
    if (std::getenv("WAYLAND_SOCKET")) return true;  // a connection handed down, already open
    const std::string name = WaylandDisplay();
    const std::string folder = Environment("XDG_RUNTIME_DIR");
    if (name.front() != '/' && folder.empty()) return false;
    const std::string path = name.front() == '/' ? name : folder + "/" + name;
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    path.copy(address.sun_path, path.size());
    const UniqueFd socket_fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    return socket_fd && connect(socket_fd.get(), reinterpret_cast<const sockaddr*>(&address),
                                sizeof address) == 0;
}

}  // namespace
#endif

Result<void> CheckDisplay() {
#ifdef QVT_HAVE_GUI
    std::string first_failure;
    for (const std::string& platform : PlatformsQtTries()) {
        const std::string name = platform.substr(0, platform.find(':'));
        std::string failure;
        if (name == "xcb" && !XDisplayAnswers()) {
            failure = "cannot open the display \"" + Environment("DISPLAY") + "\"";
        } else if (name.rfind("wayland", 0) == 0 && !WaylandDisplayAnswers()) {
            failure = "cannot open the display \"" + WaylandDisplay() + "\"";
        } else if (!HasPlatform(name)) {
            failure = "Qt has no platform \"" + name + "\"";
        }
        if (failure.empty()) {
            // Qt starts the one that answered, and tries (and tells of) nothing else.
            setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
            return {};
        }
        if (first_failure.empty()) first_failure = failure;
    }
    return Result<void>::Failure(first_failure);
#else
    return {};
#endif
}

}  // namespace qvt::linux_app
