#include "qt_main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QMessageBox>
#include <QScrollBar>

#include "texts.h"

namespace qvt::linux_app {
namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

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

QtMainWindow::QtMainWindow() {
    setObjectName("MainForm");
    setWindowTitle(FromUtf8(text::kTitle));
    setFont(DialogFont(12, false));
    setFixedSize(307, 110);
    setAutoFillBackground(true);

    Panel3.setObjectName("Panel3");
    Panel3.setGeometry(4, 4, 300, 53);
    Panel3.setFrameStyle(QFrame::Panel | QFrame::Raised);

    ProgBar1.setObjectName("ProgBar1");
    ProgBar1.setGeometry(5, 28, 218, 20);
    ProgBar1.setRange(0, 13);
    ProgBar1.setValue(0);
    ProgBar1.setTextVisible(false);

    btnStart.setText(FromUtf8(text::kStartCaption));
    btnStart.setObjectName("btnStart");
    btnStart.setGeometry(228, 4, 67, 45);
    btnStart.setFont(DialogFont(12, true));

    ckUpdate.setText(FromUtf8(text::kForceCaption));
    ckUpdate.setObjectName("ckUpdate");
    ckUpdate.setGeometry(5, 6, 220, 17);

    pnlMsg1.setObjectName("pnlMsg1");
    pnlMsg1.setGeometry(5, 28, 218, 20);
    pnlMsg1.setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pnlMsg1.setAlignment(Qt::AlignCenter);
    pnlMsg1.setFont(DialogFont(13, true));
    pnlMsg1.setAutoFillBackground(true);
    SetStatus(StatusPanel{});
    pnlMsg1.hide();

    edtMsg.setObjectName("edtMsg");
    edtMsg.setGeometry(4, 58, 301, 49);
    edtMsg.setReadOnly(true);
    edtMsg.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette face = edtMsg.palette();
    face.setColor(QPalette::Base, ToQColor(color::kButtonFace));
    edtMsg.setPalette(face);

    // Below the 110-pixel client area: it collects the diagnostic lines, never seen.
    log.setObjectName("log");
    log.setGeometry(4, 112, 300, 81);

    setTabOrder(&btnStart, &ckUpdate);
    setTabOrder(&ckUpdate, &edtMsg);
    setTabOrder(&edtMsg, &log);

    connect(&btnStart, &QPushButton::clicked, this, [this] {
        if (form_) form_->btnStartClick();
    });
    connect(&ckUpdate, &QCheckBox::clicked, this, [this](bool checked) {
        if (form_) form_->ckUpdateClick(checked);
    });
}

void QtMainWindow::SetMessage(std::string_view text) {
    // The texts carry CR LF; a plain-text edit wants LF alone.
    QString value = FromUtf8(text);
    value.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    edtMsg.setPlainText(value);
}

void QtMainWindow::SetStatus(const StatusPanel& status) {
    pnlMsg1.setText(FromUtf8(status.caption));
    QPalette palette = pnlMsg1.palette();
    palette.setColor(QPalette::Window, ToQColor(status.background));
    palette.setColor(QPalette::WindowText, ToQColor(status.text_color));
    pnlMsg1.setPalette(palette);
    pnlMsg1.setVisible(status.visible);
    if (status.visible) pnlMsg1.raise();
}

void QtMainWindow::AppendLog(std::string_view line) {
    log.appendPlainText(FromUtf8(line));
}

void QtMainWindow::SetProgress(int position, int maximum) {
    // A position past the maximum shows as a full bar.
    ProgBar1.setMaximum(maximum);
    ProgBar1.setValue(std::min(position, maximum));
}

void QtMainWindow::SetBarColor(std::uint32_t value) {
    const QColor bar = ToQColor(value);
    ProgBar1.setStyleSheet(
        QStringLiteral("QProgressBar::chunk { background-color: %1; }").arg(bar.name()));
}

void QtMainWindow::SetStartEnabled(bool enabled) {
    btnStart.setEnabled(enabled);
}

void QtMainWindow::SetForceBox(bool enabled, bool checked) {
    ckUpdate.setEnabled(enabled);
    ckUpdate.setChecked(checked);
}

void QtMainWindow::ShowModalBox(std::string_view text) {
    if (modal_handler_) {
        modal_handler_(text);
        return;
    }
    QMessageBox::information(this, windowTitle(), FromUtf8(text), QMessageBox::Ok);
}

void QtMainWindow::Pump() {
    QCoreApplication::processEvents();
}

void QtMainWindow::closeEvent(QCloseEvent* event) {
    if (form_ && !form_->FormClose()) {
        event->ignore();
        return;
    }
    event->accept();
}

}  // namespace qvt::linux_app
