#pragma once

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>
#include <functional>

#include "form_view.h"
#include "main_form.h"

namespace qvt::linux_app {

// MainForm drawn by Qt6: the controls of the product's dialog at their design positions
// (logical pixels at 96 DPI; Qt scales them for the screen).
class QtFormView final : public QWidget, public FormView {
  public:
    QtFormView();

    // The handlers the controls call; set once the core exists.
    void Attach(MainForm& form) { form_ = &form; }
    // Tests answer the modal box themselves instead of a real, blocking one.
    void SetModalBoxHandler(std::function<void(std::string_view)> handler) {
        modal_handler_ = std::move(handler);
    }

    void SetMessage(std::string_view text) override;
    void SetStatus(const StatusPanel& status) override;
    void AppendLog(std::string_view line) override;
    void SetProgress(int position, int maximum) override;
    void SetBarColor(std::uint32_t color) override;
    void SetStartEnabled(bool enabled) override;
    void SetForceBox(bool enabled, bool checked) override;
    void ShowModalBox(std::string_view text) override;
    // Every close asks MainForm, which knows whether a run is on.
    void SetBusy(bool) override {}
    void ShowNotice(std::string_view line) override { AppendLog(line); }
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

    MainForm* form_ = nullptr;
    std::function<void(std::string_view)> modal_handler_;
};

// 0x00BBGGRR or the button-face system colour, as a Qt colour.
QColor ToQColor(std::uint32_t value);

}  // namespace qvt::linux_app
