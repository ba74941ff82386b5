#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include "clicks.h"
#include "options.h"
#include "product_table.h"
#include "qt_guard.h"
#include "qt_text.h"
#include "qt_window_view.h"
#include "sessions.h"
#include "texts.h"
#include "updater.h"

namespace qvt::linux_app {
namespace {

// As the process entry shows what reaches it: a standard exception's text, or an empty one.
int ShowException(std::exception_ptr error) {
    QString what;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& standard) {
        what = QString::fromUtf8(standard.what());
    } catch (...) {
    }
    QMessageBox::critical(nullptr, FromUtf8(text::kTitle), what);
    return Code(ExitStatus::kInternal);
}

// The screen the window opens on, as the record's header tells it.
std::string DisplayOf(const QScreen* screen) {
    if (!screen) return "Qt, no screen";
    return "Qt " + std::string(qVersion()) + ", " +
           std::to_string(static_cast<int>(screen->logicalDotsPerInch())) + " DPI, scale " +
           QString::number(screen->devicePixelRatio()).toStdString();
}

// The window from its creation to its close, as the process entry runs it: its exit status, or
// an error that reached the top in its box.
int ShowWindow(GuardedApplication& application, const Options& options, Backend& backend,
               const LogTarget* log, WriteWatch& log_watch, const std::function<void()>& shown) {
    try {
        QtWindowView window;
        Updater updater(Ports{backend.Traced(window), backend.clock(), backend.driver(),
                              backend.bus(), backend.resource(), ProductDescrambleTable(),
                              HeaderFor(options, DisplayOf(QApplication::primaryScreen())),
                              backend.awake()});
        if (log) MirrorRecord(updater.record, log->stream, log_watch);
        window.Attach(updater.form);
        window.AttachRecord(updater.record, [&] { return updater.Standing(); });
        const TraceNotices notices(backend, updater);
        if (trace::TraceRecorder* recorder = backend.recorder()) {
            window.AttachTrace([&updater, recorder] {
                return recorder->Text({updater.Standing(), {}, false});
            });
        }
        WindowWatch watch(window, [&] { return updater.sequence.busy(); });
        // As the product does: the image and the device check run while the window is created.
        if (updater.form.FormCreate()) ApplyForce(updater, options);
        if (const QScreen* screen = QApplication::primaryScreen()) {
            window.move(screen->availableGeometry().center() - window.rect().center());
        }
        window.show();
        window.FocusFirstEnabled();
        if (shown) QTimer::singleShot(0, &window, shown);
        if (options.runs_given) {
            QTimer::singleShot(0, &window, [&] { ClickStartWhileEnabled(updater, options); });
        }
        const int status = QApplication::exec();
        updater.record.Finish(updater.Standing());
        backend.FinishTrace(updater.Standing(), std::nullopt);
        if (auto pending = application.TakePending()) return ShowException(pending);
        return status;
    } catch (...) {
        return ShowException(std::current_exception());
    }
}

}  // namespace

int RunWindow(int& argc, char** argv, const Options& options, Backend& backend,
              std::ostream& errors, const LogTarget* log, const OutputDrain& drain,
              const std::function<void()>& shown) {
    GuardedApplication application(argc, argv);
    WriteWatch log_watch(errors, log ? log->name : std::string());
    QApplication::setApplicationName(FromUtf8(text::kTitle));
    const int status = ShowWindow(application, options, backend, log, log_watch, shown);
    // The window has closed; the record may still be on its way.
    SignalWatch close_requests;
    return EndSession(status, drain, close_requests, [&] {
        if (log) log_watch.Flush(log->stream);
        log_watch.Summarize();
    });
}

}  // namespace qvt::linux_app
