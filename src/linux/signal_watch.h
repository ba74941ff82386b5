#pragma once

#include <csignal>
#include <vector>

namespace qvt::linux_app {

// Every signal whose default action would end the process (SIGINT, SIGTERM, SIGHUP, SIGQUIT,
// SIGUSR1, SIGALRM, the real-time signals and the rest) becomes a close request that the
// program answers when it next looks: the run refuses it as the window refuses to close.
// SIGPIPE is ignored, so that a closed output never ends a flash. A fault the kernel raises
// (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP of a bad instruction) is not a request: it goes
// to the handler that was there before. One watch at a time; the former handlers come back
// with its end.
class SignalWatch {
  public:
    SignalWatch();
    ~SignalWatch();
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

    // The last close signal not yet taken, or 0. A load of one flag, no system call, so a run
    // may ask at every pump.
    int Take();

    // The signals taken as close requests.
    static std::vector<int> CloseSignals();
};

}  // namespace qvt::linux_app
