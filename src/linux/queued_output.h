#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <ostream>
#include <streambuf>
#include <thread>

#include "unique_fd.h"

namespace qvt::linux_app {

// The most text an output keeps for a reader that has not taken it yet. A run's transcript is
// about 1.5 KiB (its events about 5 KiB), but a station's grows with every unit and never ends:
// a reader this far behind counts as gone, so that memory stays bounded whatever it does.
inline constexpr std::size_t kQueuedOutputBytes = std::size_t{1} << 20;
// The same for a regular file of the program's own (the log, the trace). No reader goes away
// from a file, but its disk may lag for a moment (writing back a build's objects, say) while a
// run in virtual time hands over a whole update's trace, about 1 MB, within milliseconds: that
// lag, not what a run writes, is what this bounds. So is a standard output redirected to a
// file; a FIFO given as the log has a reader, and the reader's bound.
inline constexpr std::size_t kQueuedFileBytes = std::size_t{64} << 20;

// An output on a descriptor that a thread of its own writes: a flush hands the text over and
// returns at once, so that no reader, however slow, stopped or gone, holds a run. The thread
// starts with the first text handed over: an output that is never written to (standard error
// in a run that goes well) costs none. A reader that is there gets every line, late. Once a
// write fails (EPIPE, EIO, ENOSPC, EFBIG...), the reader falls its bound behind (ENOBUFS) or
// the thread cannot start (EAGAIN), the rest is dropped and every later flush fails with errno
// set to that reason, as a failed write would leave it for the outputs' watch.
class QueuedOutput final : public std::ostream {
  public:
    // Writes to `fd`, which stays open while the program runs (a standard descriptor).
    explicit QueuedOutput(int fd, std::size_t bound = kQueuedOutputBytes);
    // Writes to `fd`, the program's own, and closes it once nothing more can be written; bounded
    // as what it is: kQueuedFileBytes for a regular file, kQueuedOutputBytes for anything else.
    explicit QueuedOutput(UniqueFd fd);
    QueuedOutput(UniqueFd fd, std::size_t bound);
    // The bound an output gets on `fd`: kQueuedFileBytes for a regular file, which no reader
    // can leave, kQueuedOutputBytes for anything else.
    static std::size_t BoundFor(int fd);
    // Waits for the writer when it is done; one still blocked in a write is left to the
    // process's end (the caller gave up waiting with Drain).
    ~QueuedOutput() override;
    QueuedOutput(const QueuedOutput&) = delete;
    QueuedOutput& operator=(const QueuedOutput&) = delete;

    // Hands over what is not yet and waits until everything has been written or lost; false
    // when `stop`, asked every few milliseconds, ended the wait first.
    bool Drain(const std::function<bool()>& stop);

  private:
    struct State;
    class Buffer final : public std::streambuf {
      public:
        explicit Buffer(QueuedOutput& output) : output_(output) {}

      protected:
        int_type overflow(int_type c) override;
        std::streamsize xsputn(const char* text, std::streamsize count) override;
        int sync() override;

      private:
        QueuedOutput& output_;
    };

    struct Owned {
        std::size_t bound;  // first: a braced list is evaluated in order, before fd is moved
        UniqueFd fd;
    };
    explicit QueuedOutput(Owned owned);
    QueuedOutput(int borrowed, UniqueFd owned, std::size_t bound);
    // Hands what the stream holds to the writer, started first if need be. The caller holds
    // state_->mutex.
    void HandOver();

    std::shared_ptr<State> state_;  // shared with the writer, which may outlive this
    Buffer buffer_;
    std::thread writer_;
};

}  // namespace qvt::linux_app
