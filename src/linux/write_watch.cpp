#include "write_watch.h"

#include <cerrno>
#include <cstring>

namespace qvt::linux_app {

void WriteWatch::Flush(std::ostream& stream) {
    if (lost_) return;
    errno = 0;
    stream.flush();
    if (stream.good()) return;
    // A failed flush has just set errno; a stream that failed earlier, between two flushes,
    // may have lost it since.
    reason_ = errno != 0 ? std::strerror(errno) : "write failed";
    lost_ = true;
    errors_ << "qvt-update: cannot write " << name_ << ": " << reason_ << "; the run goes on"
            << '\n';
    errors_.flush();
}

void WriteWatch::Summarize() {
    if (!lost_) return;
    errors_ << "qvt-update: " << name_ << " is incomplete: " << reason_ << '\n';
    errors_.flush();
}

}  // namespace qvt::linux_app
