#include "qt_window_view.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFont>
#include <QMessageBox>
#include <QScrollBar>
#include <QStandardPaths>

#include "qt_guard.h"
#include "qt_text.h"
#include "texts.h"
#include "trace_files.h"
#include "window_layout.h"

namespace qvt::linux_app {
namespace {

// "ＭＳ Ｐゴシック" where it exists; otherwise the proportional IPA Gothic that Debian ships.
QFont DialogFont(int pixel_size, bool bold) {
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                      QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic")});
    font.setPixelSize(pixel_size);
    font.setBold(bold);
    return font;
}

}  // namespace

QColor ToQColor(std::uint32_t value) {
    if (value == color::kButtonFace) return QApplication::palette().color(QPalette::Button);
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

QWidget& QtWindowView::Widget(Control control) {
    switch (control) {
        case Control::kPanel3:
            return Panel3;
        case Control::kProgBar1:
            return ProgBar1;
        case Control::kBtnStart:
            return btnStart;
        case Control::kCkUpdate:
            return ckUpdate;
        case Control::kPnlMsg1:
            return pnlMsg1;
        case Control::kEdtMsg:
            return edtMsg;
        case Control::kLog:
            return log;
    }
    return Panel3;
}

QtWindowView::QtWindowView() {
    setObjectName("MainForm");  // the product's own name for its dialog, as tools see it
    setWindowTitle(FromUtf8(text::kTitle));
    // A fixed dialog frame with its system menu and close box, as on Windows: nothing to
    // maximize, minimize or resize.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFont(DialogFont(kDialogFontPixels, false));
    setFixedSize(kClientWidth, kClientHeight);
    setAutoFillBackground(true);

    Panel3.setObjectName("Panel3");
    ProgBar1.setObjectName("ProgBar1");
    btnStart.setObjectName("btnStart");
    ckUpdate.setObjectName("ckUpdate");
    pnlMsg1.setObjectName("pnlMsg1");
    edtMsg.setObjectName("edtMsg");
    log.setObjectName("log");
    for (const ControlPlacement& p : kControlPlacements) {
        QWidget& widget = Widget(p.control);
        widget.setGeometry(p.left, p.top, p.width, p.height);
        if (p.font == ControlFont::kDialogBold) widget.setFont(DialogFont(kDialogFontPixels, true));
        if (p.font == ControlFont::kStatus) widget.setFont(DialogFont(kStatusFontPixels, true));
    }

    Panel3.setFrameStyle(QFrame::Panel | QFrame::Raised);
    ProgBar1.setRange(0, kProgressInitialMax);
    ProgBar1.setValue(0);
    ProgBar1.setTextVisible(false);
    btnStart.setText(FromUtf8(text::kStartCaption));
    ckUpdate.setText(FromUtf8(text::kForceCaption));

    pnlMsg1.setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pnlMsg1.setAlignment(Qt::AlignCenter);
    pnlMsg1.setAutoFillBackground(true);
    ShowStatus(StatusPanel{});
    pnlMsg1.hide();

    edtMsg.setReadOnly(true);
    // Tab leaves the message for the next control, as in a dialog, rather than being typed.
    edtMsg.setTabChangesFocus(true);
    edtMsg.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette face = edtMsg.palette();
    face.setColor(QPalette::Base, ToQColor(color::kButtonFace));
    edtMsg.setPalette(face);

    setTabOrder(&btnStart, &ckUpdate);
    setTabOrder(&ckUpdate, &edtMsg);
    // The log lies below the client area, where nobody sees it: it keeps its lines, but takes
    // no focus and is no field a screen reader offers.
    log.setFocusPolicy(Qt::NoFocus);
    log.setReadOnly(true);
    log.hide();

    // The record is offered where a person looks for what the program said: on the message.
    for (const RecordOffer::Entry& entry : RecordOffer::kEntries) {
        log_menu_.addAction(FromUtf8(entry.caption), this, [this, command = entry.command] {
            if (command == RecordOffer::Command::kCopy) {
                CopyLog();
            } else {
                SaveLog();
            }
        });
    }
    edtMsg.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&edtMsg, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { log_menu_.exec(edtMsg.mapToGlobal(at)); });

    connect(&btnStart, &QPushButton::clicked, this, [this] {
        if (form_) form_->btnStartClick();
    });
    connect(&ckUpdate, &QCheckBox::clicked, this, [this](bool checked) {
        if (form_) form_->ckUpdateClick(checked);
    });
}

QString QtWindowView::LogText() const {
    return FromUtf8(record_offer_.Text("\n"));
}

void QtWindowView::CopyLog() {
    QGuiApplication::clipboard()->setText(LogText());
}

namespace {

Result<void> SaveBytesTo(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    const auto failed = [&file] { return Result<void>::Failure(file.errorString().toStdString()); };
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return failed();
    // A short write, or one that fails as the file is closed (a full disk), is no save.
    if (file.write(bytes) != bytes.size() || !file.flush()) return failed();
    file.close();
    if (file.error() != QFileDevice::NoError) return failed();
    return {};
}

}  // namespace

Result<void> QtWindowView::SaveLogTo(const QString& path) const {
    return SaveBytesTo(path, LogText().toUtf8());
}

void QtWindowView::SaveLogAs(const QString& path) {
    Result<void> saved = SaveLogTo(path);
    std::string saved_path = path.toStdString();
    if (saved && trace_) {
        // A file of that name that is not a trace is someone's: it is left as it is.
        saved_path = TracePathBeside(saved_path);
        saved = MayOverwriteWithTrace(saved_path);
        if (saved) {
            saved = SaveBytesTo(QString::fromStdString(saved_path),
                                QByteArray::fromStdString(trace_()));
        }
    }
    const std::optional<std::string> said = RecordOffer::AfterSave(saved_path, saved);
    if (!said) return;
    if (modal_handler_) {
        modal_handler_(*said);
        return;
    }
    QString shown = FromUtf8(*said);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox::warning(this, windowTitle(), shown);
}

void QtWindowView::SaveLog() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString name = QString::fromStdString(RecordOffer::ProposedName());
    const QString path =
        QFileDialog::getSaveFileName(this, windowTitle(), QDir(folder).filePath(name));
    if (!path.isEmpty()) SaveLogAs(path);
}

void QtWindowView::ShowMessage(std::string_view text) {
    // The texts carry CR LF; a plain-text edit wants LF alone.
    QString value = FromUtf8(text);
    value.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    edtMsg.setPlainText(value);
    // A screen reader names the message by what it says, and announces each new one.
    edtMsg.setAccessibleName(value);
}

void QtWindowView::FocusFirstEnabled() {
    Widget(FirstFocus(btnStart.isEnabled(), ckUpdate.isEnabled())).setFocus(Qt::OtherFocusReason);
}

void QtWindowView::SetBusy(bool busy) {
    job_control_.Hold(busy);
    // A run has ended: the focus goes where it goes when the window opens.
    if (!busy) FocusFirstEnabled();
}

void QtWindowView::ShowStatus(const StatusPanel& status) {
    pnlMsg1.setText(FromUtf8(status.caption));
    QPalette palette = pnlMsg1.palette();
    palette.setColor(QPalette::Window, ToQColor(status.background));
    palette.setColor(QPalette::WindowText, ToQColor(status.text_color));
    pnlMsg1.setPalette(palette);
    pnlMsg1.setVisible(status.visible);
    if (status.visible) pnlMsg1.raise();
}

void QtWindowView::AppendLog(std::string_view line) {
    log.appendPlainText(FromUtf8(line));
}

void QtWindowView::ShowProgress(int position, int maximum) {
    // A position past the maximum shows as a full bar.
    ProgBar1.setMaximum(maximum);
    ProgBar1.setValue(std::min(position, maximum));
}

// The bar tells how long the wait under way has taken and may take, to a screen reader (its
// accessible description) and to the pointer (its tooltip), without a control of its own:
// the window keeps its layout. No phase under way, no text.
void QtWindowView::ShowPhaseTime(const PhaseClock& clock) {
    const QString text = clock.phase.empty() ? QString() : FromUtf8(PhaseClockText(clock));
    if (ProgBar1.accessibleDescription() == text) return;
    ProgBar1.setAccessibleDescription(text);
    ProgBar1.setToolTip(text);
}

void QtWindowView::ShowBarColor(std::uint32_t value) {
    const QColor bar = ToQColor(value);
    ProgBar1.setStyleSheet(
        QStringLiteral("QProgressBar::chunk { background-color: %1; }").arg(bar.name()));
}

void QtWindowView::EnableStart(bool enabled) {
    btnStart.setEnabled(enabled);
}

void QtWindowView::ShowForceBox(bool enabled, bool checked) {
    ckUpdate.setEnabled(enabled);
    ckUpdate.setChecked(checked);
}

void QtWindowView::CloseOnRequest() {
    close();  // the close event asks MainForm
}

void QtWindowView::ShowModalBox(std::string_view text) {
    if (modal_handler_) modal_handler_(text);
    // The box does not wait for its answer: the one the core shows refuses a close during a
    // run, and a modal loop there (inside the window system's close event, inside the run's
    // pump) would never draw its box and would hold the flash for good.
    if (!refusal_box_) {
        refusal_box_ = std::make_unique<QMessageBox>(QMessageBox::Information, windowTitle(),
                                                     QString(), QMessageBox::Ok, this);
        refusal_box_->setModal(false);
    }
    refusal_box_->setText(FromUtf8(text));
    refusal_box_->show();
    refusal_box_->raise();
    refusal_box_->activateWindow();
}

void QtWindowView::Pump() {
    QCoreApplication::processEvents();
    RaisePendingException();
}

void QtWindowView::closeEvent(QCloseEvent* event) {
    if (form_ && !form_->FormClose()) {
        event->ignore();
        return;
    }
    event->accept();
}

}  // namespace qvt::linux_app
