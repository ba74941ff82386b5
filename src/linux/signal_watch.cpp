#include "signal_watch.h"

#include <atomic>
#include <cerrno>

namespace qvt::linux_app {
namespace {

// Lock-free, so that the handler may touch it.
std::atomic<int> last_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);

// The dispositions the watch replaced, by signal number.
struct sigaction former[NSIG] = {};

// The signals a faulting instruction raises: from the kernel they are a crash, not a request.
bool IsFaultSignal(int signal) {
    return signal == SIGSEGV || signal == SIGBUS || signal == SIGILL || signal == SIGFPE ||
           signal == SIGTRAP || signal == SIGSYS;
}

void OnCloseSignal(int signal, siginfo_t* info, void*) {
    // si_code > 0: raised by the kernel for this thread's own instruction (kill(2), sigqueue
    // and tgkill give 0 or less). The crash goes where it went before the watch: the former
    // handler or the default action. A faulting access or instruction runs again on return
    // and faults again; the others are raised anew, pending until this handler returns.
    if (IsFaultSignal(signal) && info && info->si_code > 0) {
        const int saved = errno;  // a handler leaves errno as it found it
        sigaction(signal, &former[signal], nullptr);
        if (signal == SIGTRAP || signal == SIGSYS) raise(signal);
        errno = saved;
        return;
    }
    last_signal.store(signal);
}

struct sigaction Ignored() {
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    return ignore;
}

constexpr int kJobControlSignals[] = {SIGTSTP, SIGTTIN, SIGTTOU};

}  // namespace

void IgnoreWriteSignals() {
    const struct sigaction ignore = Ignored();
    sigaction(SIGPIPE, &ignore, nullptr);
    sigaction(SIGXFSZ, &ignore, nullptr);
}

void JobControlHold::Hold(bool held) {
    if (held == held_) return;
    held_ = held;
    const struct sigaction ignore = Ignored();
    for (std::size_t i = 0; i < std::size(kJobControlSignals); ++i) {
        if (held) {
            sigaction(kJobControlSignals[i], &ignore, &former_[i]);
        } else {
            sigaction(kJobControlSignals[i], &former_[i], nullptr);
        }
    }
}

std::vector<int> SignalWatch::CloseSignals() {
    std::vector<int> signals = {SIGHUP,  SIGINT,    SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,
                                SIGFPE,  SIGUSR1,   SIGSEGV, SIGUSR2, SIGALRM, SIGTERM, SIGSTKFLT,
                                SIGXCPU, SIGVTALRM, SIGPROF, SIGIO,   SIGPWR,  SIGSYS};
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) signals.push_back(signal);
    return signals;
}

SignalWatch::SignalWatch() {
    last_signal = 0;
    struct sigaction action = {};
    action.sa_sigaction = OnCloseSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_SIGINFO;
    for (const int signal : CloseSignals()) sigaction(signal, &action, &former[signal]);
}

SignalWatch::~SignalWatch() {
    for (const int signal : CloseSignals()) sigaction(signal, &former[signal], nullptr);
}

int SignalWatch::Take() {
    // Relaxed is enough: the value itself is all that is passed.
    if (last_signal.load(std::memory_order_relaxed) == 0) return 0;
    return last_signal.exchange(0);
}

}  // namespace qvt::linux_app
