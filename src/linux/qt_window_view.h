#pragma once

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <memory>

#include "main_form.h"
#include "result.h"
#include "signal_watch.h"
#include "window_rules.h"
#include "window_view.h"

namespace qvt::linux_app {

// The window drawn by Qt6: the controls of the product's dialog at their design positions
// (logical pixels at 96 DPI; Qt scales them for the screen).
//
// What a person gets, item by item as in the Win32 window (src/win32/win32_window_view.h):
//   [x] every control at its design place, scaled for the screen
//   [x] the bar's colour and the status panel's colours
//   [x] the focus on Start, else the force box, else the message (FirstFocus), at opening and
//       after a run
//   [x] Tab and Shift+Tab round the enabled controls; Esc and Enter do nothing
//   [x] a close refused during a run, in a box that does not hold the run; one box at a time
//   [ ] a shutdown or log-off refused during a run, with the reason shown (the window does not;
//       the run's awake hold takes logind's shutdown lock where the system bus allows it)
//   [x] job control held during a run
//   [x] the record offered, to copy or to save (RecordOffer), in the message's context menu
//   [x] a screen reader reads each control and hears each new status and message (AT-SPI)
//   [ ] High Contrast: the system's colours in place of the product's
//   [ ] "ＭＳ Ｐゴシック" where it is not installed (IPA Gothic stands in)
//   [x] an exception inside a window event fails the run, not the program
// Cannot draw the native progress bar's look. The close refusal cannot be a modal box: a modal
// loop inside a run's pump would never draw it, so it is a box that does not wait for its
// answer, and the run goes on behind it.
class QtWindowView final : public QWidget, public WindowView {
  public:
    QtWindowView();

    // The handlers the controls call; set once the core exists.
    void Attach(MainForm& form) { form_ = &form; }
    // The log record, offered from the message box's context menu; `outcome` tells how the
    // session stands when the record is taken.
    void AttachRecord(const LogRecord& record, std::function<std::string()> outcome) {
        record_offer_.Attach(record, std::move(outcome));
    }
    // The session's trace as it stands, saved beside every log saved from the menu (see
    // TracePathBeside), so that a failure already seen needs no second run.
    void AttachTrace(std::function<std::string()> trace) { trace_ = std::move(trace); }
    // The context menu's two actions: "ログをコピー" and "ログを保存...".
    QMenu* LogMenu() { return &log_menu_; }
    QString LogText() const;
    void CopyLog();
    // Writes the record to `path` as UTF-8; the system's reason when it could not.
    Result<void> SaveLogTo(const QString& path) const;
    // The save routine without its dialog, the trace saved beside the log: a save that fails
    // says so, where and why, in a box.
    void SaveLogAs(const QString& path);
    // A close that nobody at the window asked for (a signal): refused during a run like any
    // close, in the same box that does not wait for an answer, so the run goes on behind it.
    void CloseOnRequest();
    // The box such a refusal shows, once it has been shown.
    const QMessageBox* RefusalBox() const { return refusal_box_.get(); }
    // Tests hear every box shown (and the failed save's, instead of a real, blocking one).
    void SetModalBoxHandler(std::function<void(std::string_view)> handler) {
        modal_handler_ = std::move(handler);
    }

    void ShowMessage(std::string_view text) override;
    void ShowStatus(const StatusPanel& status) override;
    void AppendLog(std::string_view line) override;
    void ShowProgress(int position, int maximum) override;
    void ShowBarColor(std::uint32_t color) override;
    void EnableStart(bool enabled) override;
    void ShowForceBox(bool enabled, bool checked) override;
    void ShowModalBox(std::string_view text) override;
    // Every close asks MainForm, which knows whether a run is on; job control cannot stop a
    // run either. When a run ends, the focus goes to the first enabled control.
    void SetBusy(bool busy) override;
    // The focus where FirstFocus puts it, from what the controls show now.
    void FocusFirstEnabled();
    void ShowNotice(std::string_view line) override { AppendLog(line); }
    void ShowPhaseTime(const PhaseClock& clock) override;
    void Pump() override;

    // Children are members, so C++ owns them; each leaves its Qt parent as it is destroyed.
    QFrame Panel3{this};
    QProgressBar ProgBar1{&Panel3};
    QPushButton btnStart{&Panel3};
    QCheckBox ckUpdate{&Panel3};
    QLabel pnlMsg1{&Panel3};
    QPlainTextEdit edtMsg{this};
    QPlainTextEdit log{this};

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    QWidget& Widget(Control control);
    void SaveLog();

    MainForm* form_ = nullptr;
    RecordOffer record_offer_;
    std::function<std::string()> trace_;
    QMenu log_menu_;
    std::function<void(std::string_view)> modal_handler_;
    JobControlHold job_control_;
    // Destroyed before the widget's base deletes its children, so it is never deleted twice.
    std::unique_ptr<QMessageBox> refusal_box_;
};

// 0x00BBGGRR or the button-face system colour, as a Qt colour.
QColor ToQColor(std::uint32_t value);

}  // namespace qvt::linux_app
