#include "logind_awake_hold.h"

#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <string>

#include "texts.h"

namespace qvt::linux_app {
namespace {

// sd-bus objects, each released with its own function.
struct BusRef {
    sd_bus* bus = nullptr;
    ~BusRef() { sd_bus_flush_close_unref(bus); }
};
struct MessageRef {
    sd_bus_message* message = nullptr;
    ~MessageRef() { sd_bus_message_unref(message); }
};
struct ErrorRef {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    ~ErrorRef() { sd_bus_error_free(&error); }
};

}  // namespace

bool LogindAwakeHold::Hold(std::string_view reason) {
    Release();
    BusRef bus;
    if (sd_bus_open_system(&bus.bus) < 0) return false;
    MessageRef call, reply;
    ErrorRef error;
    const std::string why(reason);
    const std::string who(text::kTitle);
    if (sd_bus_message_new_method_call(bus.bus, &call.message, "org.freedesktop.login1",
                                       "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                                       "Inhibit") < 0 ||
        sd_bus_message_append(call.message, "ssss", "sleep:shutdown:idle", who.c_str(), why.c_str(),
                              "block") < 0 ||
        sd_bus_call(bus.bus, call.message, kCallTimeoutUs, &error.error, &reply.message) < 0) {
        return false;
    }
    int fd = -1;
    if (sd_bus_message_read(reply.message, "h", &fd) < 0 || fd < 0) return false;
    // The descriptor belongs to the reply; the hold keeps a copy of its own, kept from any
    // child process.
    fd_ = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    return fd_ >= 0;
}

void LogindAwakeHold::Release() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

}  // namespace qvt::linux_app
