#pragma once

#include <csignal>

namespace qvt::linux_app {

// SIGINT, SIGTERM and SIGHUP become close requests that the program answers when it next
// looks (the run refuses them as the window refuses to close), and SIGPIPE is ignored, so that
// a closed output never ends a flash. One watch at a time; the former handlers come back with
// its end.
class SignalWatch {
  public:
    SignalWatch();
    ~SignalWatch();
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

    // The last close signal not yet taken, or 0.
    int Take();
    // Readable once a close signal has arrived, for an event loop to watch.
    int fd() const { return pipe_[0]; }

  private:
    int pipe_[2] = {-1, -1};
    struct sigaction former_[4] = {};
};

}  // namespace qvt::linux_app
