#pragma once

#include <array>
#include <csignal>
#include <vector>

namespace qvt::linux_app {

// The signals a write raises (SIGPIPE on a pipe nobody reads, SIGXFSZ past the file-size
// limit) ignored for the whole process, so that such a write fails with EPIPE or EFBIG, which
// the outputs' watches tell, instead of ending the process or passing for a close request.
// Called first thing, before any output is opened; never undone.
void IgnoreWriteSignals();

// While a run is on, job control cannot stop it: SIGTSTP (Ctrl+Z), SIGTTIN and SIGTTOU are
// ignored from Hold(true) to Hold(false), which gives back what was there before, so that an
// idle program still stops as any other.
class JobControlHold {
  public:
    JobControlHold() = default;
    JobControlHold(const JobControlHold&) = delete;
    JobControlHold& operator=(const JobControlHold&) = delete;
    ~JobControlHold() { Hold(false); }

    void Hold(bool held);

  private:
    bool held_ = false;
    std::array<struct sigaction, 3> former_ = {};
};

// Every signal whose default action would end the process (SIGINT, SIGTERM, SIGHUP, SIGQUIT,
// SIGUSR1, SIGALRM, the real-time signals and the rest) becomes a close request that the
// program answers when it next looks: the run refuses it as the window refuses to close.
// A fault the kernel raises (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP of a bad instruction) is
// not a request: it goes to the handler that was there before. One watch at a time; the former
// handlers come back with its end.
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
