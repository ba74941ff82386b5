#include "qt_guard.h"

namespace qvt::linux_app {

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        if (!pending_) pending_ = std::current_exception();
        return false;
    }
}

void RaisePendingException() {
    if (auto* application = dynamic_cast<GuardedApplication*>(QCoreApplication::instance())) {
        if (auto pending = application->TakePending()) std::rethrow_exception(pending);
    }
}

WindowWatch::WindowWatch(QtWindowView& window, std::function<bool()> busy, int interval_ms)
    : window_(window), busy_(std::move(busy)) {
    timer_.setInterval(interval_ms);
    connect(&timer_, &QTimer::timeout, this, [this] { Attend(); });
    timer_.start();
}

void WindowWatch::Attend() {
    if (signals_.Take() != 0) window_.CloseOnRequest();
    auto* application = dynamic_cast<GuardedApplication*>(QCoreApplication::instance());
    if (application && application->HasPending() && !busy_()) QCoreApplication::exit(70);
}

}  // namespace qvt::linux_app
