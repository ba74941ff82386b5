#include "queued_output.h"

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <system_error>

namespace qvt::linux_app {
namespace {

// Writes all of `text`; 0, or the errno of the write that failed. In pieces that end at a line's
// end and fit in PIPE_BUF, which a pipe takes whole: where standard output and standard error
// share a pipe (2>&1), a line of one never lands inside a line of the other.
int WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        std::size_t piece = text.size();
        if (piece > PIPE_BUF) {
            const std::size_t end = text.rfind('\n', PIPE_BUF - 1);
            piece = end == std::string_view::npos ? PIPE_BUF : end + 1;
        }
        const ssize_t written = write(fd, text.data(), piece);
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

// Every signal blocked in the calling thread for as long as it lives, so that a thread started
// meanwhile leaves the signals to the thread that attends to them.
class SignalsBlocked {
  public:
    SignalsBlocked() {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, &former_);
    }
    ~SignalsBlocked() { pthread_sigmask(SIG_SETMASK, &former_, nullptr); }
    SignalsBlocked(const SignalsBlocked&) = delete;
    SignalsBlocked& operator=(const SignalsBlocked&) = delete;

  private:
    sigset_t former_;
};

}  // namespace

// What the stream and its writer share; every member but the descriptor under `mutex`.
struct QueuedOutput::State {
    // The descriptor is the owned one when there is one.
    State(int borrowed, UniqueFd owned, std::size_t bound)
        : fd(owned ? owned.get() : borrowed), owned(std::move(owned)), bound(bound) {}

    const int fd;
    const UniqueFd owned;
    const std::size_t bound;
    std::mutex mutex;
    std::condition_variable wake;     // the writer's: text handed over, or the end
    std::condition_variable settled;  // Drain's: a write has ended
    std::string pending;              // in the stream, not yet handed over
    std::string queue;                // handed over, not yet written
    std::size_t in_write = 0;         // the bytes of the write under way
    bool writing = false;
    bool closing = false;
    int error = 0;  // why the output takes no more text

    void Take(std::string_view text) {
        if (error != 0) return;
        if (pending.size() + queue.size() + in_write + text.size() > bound) {
            Lose(ENOBUFS);
            return;
        }
        pending.append(text);
    }
    void Lose(int reason) {
        error = reason;
        std::string().swap(pending);
        std::string().swap(queue);
        settled.notify_all();
    }
    bool Settled() const { return error != 0 || (pending.empty() && queue.empty() && !writing); }
    // The writer's thread: each batch handed over, in order, until the stream is gone and
    // nothing is left to write.
    void Run() {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return closing || (!queue.empty() && error == 0); });
            if (queue.empty() || error != 0) return;
            std::string batch;
            batch.swap(queue);
            writing = true;
            in_write = batch.size();
            lock.unlock();
            const int failed = WriteAll(fd, batch);
            lock.lock();
            writing = false;
            in_write = 0;
            if (failed != 0 && error == 0) Lose(failed);
            settled.notify_all();
        }
    }
};

QueuedOutput::QueuedOutput(int fd, std::size_t bound) : QueuedOutput(fd, UniqueFd(), bound) {}

QueuedOutput::QueuedOutput(UniqueFd fd)
    : QueuedOutput(Owned{.bound = BoundFor(fd.get()), .fd = std::move(fd)}) {}

QueuedOutput::QueuedOutput(UniqueFd fd, std::size_t bound)
    : QueuedOutput(-1, std::move(fd), bound) {}

QueuedOutput::QueuedOutput(Owned owned) : QueuedOutput(-1, std::move(owned.fd), owned.bound) {}

std::size_t QueuedOutput::BoundFor(int fd) {
    struct stat status {};
    return fstat(fd, &status) == 0 && S_ISREG(status.st_mode) ? kQueuedFileBytes
                                                              : kQueuedOutputBytes;
}

QueuedOutput::QueuedOutput(int borrowed, UniqueFd owned, std::size_t bound)
    : std::ostream(nullptr),
      state_(std::make_shared<State>(borrowed, std::move(owned), bound)),
      buffer_(*this) {
    rdbuf(&buffer_);
}

void QueuedOutput::HandOver() {
    State& state = *state_;
    if (state.pending.empty()) return;
    state.queue += state.pending;
    state.pending.clear();
    if (!writer_.joinable()) {
        // A process at its limit of threads (a container's pids, a bench account's nproc)
        // or of memory gets no writer: the output is lost as a failed write loses it, told
        // and drained at once, rather than queued for a writer that never comes.
        try {
            const SignalsBlocked blocked;
            writer_ = std::thread([shared = state_] { shared->Run(); });
        } catch (const std::system_error& failure) {
            state.Lose(failure.code().value() != 0 ? failure.code().value() : EAGAIN);
            return;
        } catch (const std::bad_alloc&) {
            state.Lose(ENOMEM);
            return;
        }
    }
    state.wake.notify_one();
}

QueuedOutput::~QueuedOutput() {
    bool started = false, done = false;
    {
        const std::lock_guard lock(state_->mutex);
        state_->closing = true;
        started = writer_.joinable();
        done = !state_->writing && (state_->queue.empty() || state_->error != 0);
    }
    if (!started) return;  // never given anything to write
    state_->wake.notify_all();
    if (done) {
        writer_.join();
    } else {
        writer_.detach();  // it keeps the state, and the descriptor, for as long as it runs
    }
}

bool QueuedOutput::Drain(const std::function<bool()>& stop) {
    std::unique_lock lock(state_->mutex);
    HandOver();
    while (!state_->Settled()) {
        if (stop && stop()) return false;
        state_->settled.wait_for(lock, std::chrono::milliseconds(20));
    }
    return true;
}

QueuedOutput::Buffer::int_type QueuedOutput::Buffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char byte = traits_type::to_char_type(c);
    State& state = *output_.state_;
    const std::lock_guard lock(state.mutex);
    state.Take(std::string_view(&byte, 1));
    return c;
}

std::streamsize QueuedOutput::Buffer::xsputn(const char* text, std::streamsize count) {
    State& state = *output_.state_;
    const std::lock_guard lock(state.mutex);
    state.Take(std::string_view(text, static_cast<std::size_t>(count)));
    return count;
}

int QueuedOutput::Buffer::sync() {
    int error = 0;
    {
        const std::lock_guard lock(output_.state_->mutex);
        output_.HandOver();
        error = output_.state_->error;
    }
    if (error == 0) return 0;
    errno = error;
    return -1;
}

}  // namespace qvt::linux_app
