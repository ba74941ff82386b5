// The Qt window on the offscreen platform, with the simulated unit behind it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <set>

#include "phase_times.h"
#include "qt_guard.h"
#include "qt_window_view.h"
#include "rig.h"
#include "texts.h"
#include "trace_lines.h"

namespace qvt::linux_app {
namespace {

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

struct WindowRig {
    explicit WindowRig(std::string_view json)
        : world(clock, testing::ScenarioFrom(json)),
          updater(Ports{window, clock, world.driver(), world.bus(), resource,
                        ProductDescrambleTable()}) {
        window.Attach(updater.form);
        window.SetModalBoxHandler([this](std::string_view text) { boxes.emplace_back(text); });
        updater.form.FormCreate();
        window.show();
    }
    sim::VirtualClock clock;
    EmbeddedImageResource resource;
    sim::SimulatedWorld world;
    QtWindowView window;
    Updater updater;
    std::vector<std::string> boxes;
};

TEST(QtWindow, HasTheControlsOfTheDialogAtTheirPlaces) {
    WindowRig rig(testing::kOneOutdatedUnit);
    QtWindowView& w = rig.window;
    EXPECT_EQ(w.windowTitle(), Q(text::kTitle));
    EXPECT_EQ(w.size(), QSize(307, 110));
    EXPECT_EQ(w.Panel3.geometry(), QRect(4, 4, 300, 53));
    EXPECT_EQ(w.ProgBar1.geometry(), QRect(5, 28, 218, 20));
    EXPECT_EQ(w.pnlMsg1.geometry(), w.ProgBar1.geometry());  // lies exactly over the bar
    EXPECT_EQ(w.btnStart.geometry(), QRect(228, 4, 67, 45));
    EXPECT_EQ(w.ckUpdate.geometry(), QRect(5, 6, 220, 17));
    EXPECT_EQ(w.edtMsg.geometry(), QRect(4, 58, 301, 49));
    EXPECT_EQ(w.log.geometry(), QRect(4, 112, 300, 81));
    EXPECT_GE(w.log.geometry().top(), w.height());  // never visible
    EXPECT_EQ(w.btnStart.text(), Q(text::kStartCaption));
    EXPECT_TRUE(w.btnStart.font().bold());
    EXPECT_EQ(w.ckUpdate.text(), Q(text::kForceCaption));
    EXPECT_EQ(w.font().pixelSize(), 12);
    EXPECT_EQ(w.pnlMsg1.font().pixelSize(), 13);
    EXPECT_TRUE(w.pnlMsg1.font().bold());
    EXPECT_TRUE(w.edtMsg.isReadOnly());
}

TEST(QtWindow, ShowsTheStartUpCheck) {
    WindowRig rig(testing::kOneOutdatedUnit);
    QtWindowView& w = rig.window;
    EXPECT_TRUE(w.pnlMsg1.isVisible());
    EXPECT_EQ(w.pnlMsg1.text(), Q(text::kCaptionNeeded));
    EXPECT_EQ(w.pnlMsg1.palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(w.edtMsg.toPlainText(),
              QString::fromUtf8(
                  "QVT-40 R3のアップデートが必要です。\n開始ボタンをクリックしてください。. "));
    EXPECT_TRUE(w.btnStart.isEnabled());
    EXPECT_FALSE(w.ckUpdate.isEnabled());
    EXPECT_EQ(w.ProgBar1.value(), 0);
    EXPECT_EQ(w.ProgBar1.maximum(), 13);
}

TEST(QtWindow, AClickedStartRunsTheUpdateToCompletion) {
    WindowRig rig(testing::kOneOutdatedUnit);
    QtWindowView& w = rig.window;
    w.btnStart.click();
    EXPECT_TRUE(rig.updater.sequence.completed());
    EXPECT_TRUE(w.pnlMsg1.isVisible());
    EXPECT_EQ(w.pnlMsg1.text(), Q(text::kCaptionCompleted));
    EXPECT_EQ(w.pnlMsg1.palette().color(QPalette::Window), QColor(0, 0x80, 0));
    EXPECT_EQ(w.pnlMsg1.palette().color(QPalette::WindowText), QColor(255, 255, 255));
    EXPECT_EQ(w.edtMsg.toPlainText(),
              QString::fromUtf8("アップデート完了\nアプリケーションを終了してください。"));
    EXPECT_FALSE(w.btnStart.isEnabled());
    EXPECT_FALSE(w.ckUpdate.isEnabled());
    EXPECT_EQ(w.ProgBar1.value(), 13);
    EXPECT_EQ(w.ProgBar1.maximum(), 13);
    EXPECT_TRUE(w.log.toPlainText().contains(QStringLiteral("[ResetDevice]OpenHid count:0")));
}

// A screen reader and the pointer learn how long the wait under way takes; after the run, nothing.
TEST(QtWindow, TheBarTellsHowLongThePhaseUnderWayHasTaken) {
    WindowRig rig(testing::kOneOutdatedUnit);
    QtWindowView& w = rig.window;
    const auto said = [&w] {
        return QAccessible::queryAccessibleInterface(&w.ProgBar1)->text(QAccessible::Description);
    };
    std::set<QString> heard;
    QTimer listen;  // at every pump of the run: what a screen reader and the pointer get
    QObject::connect(&listen, &QTimer::timeout,
                     [&] { heard.insert(said() + w.ProgBar1.toolTip()); });
    listen.start(0);
    w.btnStart.click();
    listen.stop();
    const PhaseTimes times = TimesOf(Phase::kReturnWait, 1, true);
    const QString line =
        Q(PhaseClockText({PhaseName(Phase::kReturnWait), WaitingFor(Phase::kReturnWait), 1000,
                          times.typical_ms, times.limit_ms}));
    EXPECT_TRUE(heard.count(line + line)) << heard.size() << " texts heard";
    EXPECT_EQ(said(), QString());
    EXPECT_EQ(w.ProgBar1.toolTip(), QString());
}

// Kept in the build tree, where scripts/screenshots takes them for the README.
void Save(QtWindowView& window, const char* name) {
    QDir().mkpath(QStringLiteral(QVT_SCREENSHOT_DIR));
    EXPECT_TRUE(window.grab().save(QStringLiteral(QVT_SCREENSHOT_DIR "/") + name + ".png"));
}

// Share of the status panel's pixels in the colour, as it is drawn.
double PanelShare(QtWindowView& window, const QColor& colour) {
    const QImage image = window.pnlMsg1.grab().toImage();
    int count = 0;
    for (int y = 3; y < image.height() - 3; ++y) {
        for (int x = 3; x < image.width() - 3; ++x) count += image.pixelColor(x, y) == colour;
    }
    return static_cast<double>(count) / ((image.width() - 6) * (image.height() - 6));
}

TEST(QtWindow, EveryStateIsDrawnAsDesigned) {
    const QColor green(0, 0x80, 0);
    {
        WindowRig rig(testing::kOneOutdatedUnit);
        EXPECT_LT(PanelShare(rig.window, green), 0.34);
        Save(rig.window, "qt-startup-update-needed");
    }
    WindowRig rig(testing::kOneOutdatedUnit);
    QtWindowView& w = rig.window;
    bool taken = false;
    QTimer during;
    QObject::connect(&during, &QTimer::timeout, [&] {
        if (!taken && w.edtMsg.toPlainText() == Q(text::kVerifyStart)) {
            taken = true;
            Save(w, "qt-in-progress");
        }
    });
    during.start(0);
    w.btnStart.click();
    during.stop();
    EXPECT_TRUE(taken);
    EXPECT_GT(PanelShare(w, green), 0.66);  // completion's green background
    Save(w, "qt-completed");

    WindowRig failed(R"({"faults": [{"kind": "ignore_boot_request"}]})");
    failed.window.btnStart.click();
    EXPECT_FALSE(failed.window.pnlMsg1.isVisible());
    Save(failed.window, "qt-failed");
}

TEST(QtWindow, TheForceBoxEnablesStartOnACurrentUnit) {
    WindowRig rig(testing::kOneCurrentUnit);
    QtWindowView& w = rig.window;
    EXPECT_FALSE(w.btnStart.isEnabled());
    ASSERT_TRUE(w.ckUpdate.isEnabled());
    w.ckUpdate.click();
    EXPECT_TRUE(w.ckUpdate.isChecked());
    EXPECT_TRUE(w.btnStart.isEnabled());
}

TEST(QtWindow, ACloseWhileBusyIsRefusedWithTheBox) {
    WindowRig rig(testing::kOneOutdatedUnit);
    QtWindowView& w = rig.window;
    bool close_result = true;
    // The run pumps Qt's queue; the close arrives there as a posted event.
    QTimer::singleShot(0, &w, [&] { close_result = w.close(); });
    w.btnStart.click();
    EXPECT_FALSE(close_result);
    ASSERT_EQ(rig.boxes.size(), 1u);
    EXPECT_EQ(rig.boxes[0], text::kCloseWhileBusy);
    EXPECT_TRUE(rig.updater.sequence.completed());
    EXPECT_TRUE(w.close());  // after the run it closes
}

TEST(QtWindow, TheMessageBoxOffersTheLogToCopyOrSave) {
    WindowRig rig(testing::kOneOutdatedUnit);
    QtWindowView& w = rig.window;
    w.AttachRecord(rig.updater.record, [&] { return rig.updater.Standing(); });
    EXPECT_EQ(w.edtMsg.contextMenuPolicy(), Qt::CustomContextMenu);
    const auto actions = w.LogMenu()->actions();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_EQ(actions[0]->text(), Q(text::kCopyLog));
    EXPECT_EQ(actions[1]->text(), Q(text::kSaveLog));
    w.btnStart.click();
    actions[0]->trigger();
    const QString copied = QGuiApplication::clipboard()->text();
    EXPECT_TRUE(copied.startsWith(QStringLiteral("# QVT-40 R3 Update v3.10\n")));
    EXPECT_TRUE(copied.contains(QStringLiteral(" log: [ResetDevice]OpenHid count:0\n")));
    EXPECT_TRUE(copied.endsWith(
        QStringLiteral(" outcome: update completed (the unit came back current)\n")));
    // Over an earlier, longer file, of which nothing is left.
    const QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("qvt-saved.log"));
    QFile earlier(path);
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly) && earlier.write(QByteArray(100000, '~')));
    earlier.close();
    ASSERT_TRUE(w.SaveLogTo(path));
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    // All but the outcome's time stamp, which is that of the moment the record is taken.
    const auto without_outcome = [](const QString& text) {
        return text.left(text.lastIndexOf(QLatin1Char('\n'), -2));
    };
    const QString text = QString::fromUtf8(saved.readAll());
    EXPECT_EQ(without_outcome(text), without_outcome(w.LogText()));
    EXPECT_TRUE(
        text.endsWith(QStringLiteral(" outcome: update completed (the unit came back current)\n")));

    // A save that fails says so, where, and the system's reason: a folder that is not there, a
    // full disk.
    for (const QString& where :
         {folder.filePath(QStringLiteral("no/such.log")), QStringLiteral("/dev/full")}) {
        w.SaveLogAs(where);
        ASSERT_FALSE(rig.boxes.empty()) << where.toStdString();
        const std::string said = rig.boxes.back();
        rig.boxes.clear();
        const std::string lead =
            std::string(text::kSaveLogFailed) + "\r\n" + where.toStdString() + "\r\n";
        EXPECT_EQ(said.rfind(lead, 0), 0u) << said;
        EXPECT_GT(said.size(), lead.size()) << "no reason given: " << said;
    }
}

// Where a person saves the log, the session's trace goes beside it, so that a failure already
// seen needs no second run; but never over a file that is not a trace.
TEST(QtWindow, TheTraceIsSavedBesideTheLogButNeverOverAnythingElse) {
    WindowRig rig(testing::kOneOutdatedUnit);
    QtWindowView& w = rig.window;
    w.AttachRecord(rig.updater.record, [&] { return rig.updater.Standing(); });
    const std::string trace = trace::HeaderLine({}) + "\n{\"outcome\":\"no update run\"}\n";
    w.AttachTrace([&] { return trace; });
    const QTemporaryDir folder;
    const QString log = folder.filePath(QStringLiteral("qvt-beside.log"));
    const QString beside = folder.filePath(QStringLiteral("qvt-beside.trace.jsonl"));
    const auto read = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    };
    for (int save = 0; save < 2; ++save) {  // the second over the first: a trace already
        w.SaveLogAs(log);
        EXPECT_TRUE(rig.boxes.empty());
        EXPECT_EQ(read(beside), trace);
    }
    {
        QFile notes(beside);
        ASSERT_TRUE(notes.open(QIODevice::WriteOnly | QIODevice::Truncate));
        notes.write("someone's notes\n");
    }
    w.SaveLogAs(log);
    ASSERT_EQ(rig.boxes.size(), 1u);
    EXPECT_EQ(rig.boxes[0].rfind(
                  std::string(text::kSaveLogFailed) + "\r\n" + beside.toStdString() + "\r\n", 0),
              0u)
        << rig.boxes[0];
    EXPECT_EQ(read(beside), "someone's notes\n");
    QFile::remove(log);
    QFile::remove(beside);
}

// A close signal in the middle of a run is refused as a click on the window's close button
// is, but in a box that does not wait for an answer: nobody may be at the machine (a logout
// sends it), and the run must go on behind the box. Once the run is over, the same signal
// closes the window.
TEST(QtWindow, CloseSignalsAreRefusedDuringARunWithoutStoppingItAndCloseTheWindowAfter) {
    WindowRig rig(testing::kOneOutdatedUnit);
    QtWindowView& w = rig.window;
    // At every pump: the run in virtual time is over in a few real milliseconds.
    WindowWatch watch(
        w, [&] { return rig.updater.sequence.busy(); }, 0);
    bool raised = false;
    QTimer during;
    QObject::connect(&during, &QTimer::timeout, [&] {
        if (!raised && w.edtMsg.toPlainText() == Q(text::kEraseStart)) {
            raised = true;
            std::raise(SIGTERM);
        }
    });
    during.start(0);
    w.btnStart.click();
    during.stop();
    EXPECT_TRUE(raised);
    EXPECT_TRUE(rig.updater.sequence.completed());
    EXPECT_EQ(rig.boxes, std::vector<std::string>{std::string(text::kCloseWhileBusy)});
    const QMessageBox* box = w.RefusalBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), Q(text::kCloseWhileBusy));
    EXPECT_TRUE(box->isVisible());
    EXPECT_FALSE(box->isModal());
    EXPECT_TRUE(w.isVisible());
    std::raise(SIGUSR1);  // any signal that would end the process is a close request
    QElapsedTimer waited;
    waited.start();
    while (w.isVisible() && waited.elapsed() < 2000) QCoreApplication::processEvents();
    EXPECT_FALSE(w.isVisible());
}

TEST(QtWindow, AnExceptionInAnEventHandlerDuringARunFailsTheRun) {
    WindowRig rig(testing::kOneOutdatedUnit);
    QtWindowView& w = rig.window;
    bool thrown = false;
    QTimer during;
    QObject::connect(&during, &QTimer::timeout, [&] {
        if (!thrown && w.edtMsg.toPlainText() == Q(text::kEraseStart)) {
            thrown = true;
            throw std::runtime_error("stray");
        }
    });
    during.start(0);
    w.btnStart.click();
    during.stop();
    EXPECT_TRUE(thrown);
    EXPECT_FALSE(rig.updater.sequence.completed());
    EXPECT_EQ(w.edtMsg.toPlainText(), Q(text::kMessageRunFailed).replace("\r\n", "\n"));
    EXPECT_TRUE(w.btnStart.isEnabled());
    EXPECT_EQ(rig.updater.sequence.FailedRunCount(), 1);
}

}  // namespace
}  // namespace qvt::linux_app

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qvt::linux_app::GuardedApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
