#include <QApplication>
#include <QScreen>
#include <QTimer>

#include "product_table.h"
#include "qt_form_view.h"
#include "run_driver.h"
#include "sessions.h"
#include "texts.h"
#include "updater.h"

namespace qvt::linux_app {

int RunWindow(int& argc, char** argv, const Options& options, Backend& backend) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(text::kTitle.data(), text::kTitle.size()));
    QtFormView window;
    Updater updater(Ports{window, backend.clock(), backend.driver(), backend.bus(),
                          backend.resource(), ProductDescrambleTable()});
    window.Attach(updater.form);
    // As the product does: the image and the device check run while the window is created.
    if (updater.form.FormCreate()) ApplyForce(updater, options);
    if (const QScreen* screen = QApplication::primaryScreen()) {
        window.move(screen->availableGeometry().center() - window.rect().center());
    }
    window.show();
    if (options.runs_given) {
        QTimer::singleShot(0, &window, [&] { ClickStartWhileEnabled(updater, options); });
    }
    return QApplication::exec();
}

}  // namespace qvt::linux_app
