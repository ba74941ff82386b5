#pragma once

#include <QApplication>
#include <QTimer>
#include <exception>
#include <functional>

#include "qt_window_view.h"
#include "signal_watch.h"

namespace qvt::linux_app {

// Qt must not unwind through its own frames: an exception that escapes an event handler is
// kept here. A run's pump raises it again, so that the run fails as it should; outside a run
// it ends the event loop, and the program shows it in its box.
class GuardedApplication final : public QApplication {
  public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override;
    std::exception_ptr TakePending() { return std::exchange(pending_, nullptr); }
    bool HasPending() const { return pending_ != nullptr; }

  private:
    std::exception_ptr pending_;
};

// Raises again, in the calling pump, what an event handler let escape.
void RaisePendingException();

// What the window attends to while no event of its own comes: every signal that would end the
// process becomes a close request, which MainForm refuses while a run is on, in a box that does
// not stop the run (nobody may be there to answer it); an exception kept while no run is on
// ends the event loop.
class WindowWatch final : public QObject {
  public:
    // Every `interval_ms`: from the event loop and from every pump of a run.
    WindowWatch(QtWindowView& window, std::function<bool()> busy, int interval_ms = 100);

  private:
    void Attend();

    QtWindowView& window_;
    std::function<bool()> busy_;
    SignalWatch signals_;
    QTimer timer_;
};

}  // namespace qvt::linux_app
