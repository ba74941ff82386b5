#include "main_form.h"

#include "texts.h"

namespace qvt {

bool MainForm::FormCreate() {
    if (!image_.LoadFirmwareImage(window_)) {
        window_.ShowMessage(text::kImageError);
        window_.SetStartEnabled(false);
        return false;
    }
    window_.SetBarColor(color::kGreen);
    StartupCheck();
    return true;
}

bool MainForm::FormClose() {
    if (window_.busy) {
        window_.ShowModalBox(text::kCloseWhileBusy);
        return false;
    }
    ReleaseHandles();
    return true;
}

void MainForm::ReleaseHandles() {
    app_.CloseAppDevice();
    link_.CloseBootLoaders();
}

void MainForm::StartupCheck() {
    app_.ProbeAppMode(window_);
    link_.ProbeBootMode(window_);
    const int app = app_.census().app_device_count;
    const int outdated = app_.census().outdated_count;
    const int boot = link_.boot_loader_count();
    window_.UpdateState = 0;

    auto apply = [&](std::string_view caption, std::uint32_t background, std::uint32_t text_color,
                     std::string_view message, bool start, bool force) {
        window_.ShowStatus({std::string(caption), background, text_color, true});
        window_.ShowMessage(message);
        window_.SetStartEnabled(start);
        window_.SetForceEnabled(force);
    };
    if (boot == 0 && outdated == 0 && app == 1) {
        apply(text::kCaptionCurrent, color::kButtonFace, color::kGreen, text::kMessageCurrent,
              false, true);
    } else if (boot == 0 && outdated == 0 && app == 0) {
        apply(text::kCaptionMissing, color::kButtonFace, color::kNavy, text::kMessageMissing, false,
              false);
    } else if (boot + app >= 2) {
        apply(text::kCaptionSeveral, color::kButtonFace, color::kFuchsia, text::kMessageSeveral,
              false, false);
    } else {
        apply(text::kCaptionNeeded, window_.controls().status.background, color::kRed,
              text::kMessageNeeded, true, false);
        link_.set_expected_count(boot + outdated);
        window_.AdvanceProgress();
    }
}

void MainForm::ckUpdateClick(bool checked) {
    window_.SetForceChecked(checked);
    if (checked) {
        window_.SetStartEnabled(app_.census().app_device_count != 0);
    } else {
        window_.SetStartEnabled(link_.expected_count() != 0);
    }
}

}  // namespace qvt
