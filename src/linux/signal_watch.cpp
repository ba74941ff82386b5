#include "signal_watch.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <stdexcept>

namespace qvt::linux_app {
namespace {

constexpr int kCloseSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Lock-free, so that the handler may touch it.
std::atomic<int> last_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);
int wake_fd = -1;

void OnCloseSignal(int signal) {
    const int saved = errno;  // the handler must leave errno as it found it
    last_signal = signal;
    const char byte = 1;
    [[maybe_unused]] const auto written = write(wake_fd, &byte, 1);
    errno = saved;
}

}  // namespace

SignalWatch::SignalWatch() {
    if (pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("cannot make a pipe");
    wake_fd = pipe_[1];
    last_signal = 0;
    struct sigaction action = {};
    action.sa_handler = OnCloseSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i) sigaction(kCloseSignals[i], &action, &former_[i]);
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &former_[3]);
}

SignalWatch::~SignalWatch() {
    for (int i = 0; i < 3; ++i) sigaction(kCloseSignals[i], &former_[i], nullptr);
    sigaction(SIGPIPE, &former_[3], nullptr);
    wake_fd = -1;
    close(pipe_[0]);
    close(pipe_[1]);
}

int SignalWatch::Take() {
    char drain[64];
    while (read(pipe_[0], drain, sizeof drain) > 0) {
    }
    return last_signal.exchange(0);
}

}  // namespace qvt::linux_app
