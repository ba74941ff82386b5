// The start-up benchmark on Linux: qvt-update's window until it is shown with its start-up
// check done, or (with --bare) the barest Qt window, built alike.
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstring>
#include <iostream>
#include <string>

#include "backend.h"
#include "sessions.h"

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--bare") == 0) {
        QApplication application(argc, argv);
        QWidget window;
        window.resize(307, 110);
        window.show();
        QTimer::singleShot(0, &window, [] { QApplication::quit(); });
        return QApplication::exec();
    }
    using namespace qvt::linux_app;
    const Options options;  // a real start: the maker's driver absent, hidraw searched
    auto backend = Backend::Create(options);
    return RunWindow(argc, argv, options, **backend, std::cerr, nullptr, {},
                     [] { QApplication::quit(); });
}
