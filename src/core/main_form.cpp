#include "main_form.h"

#include "texts.h"

namespace qvt {

bool MainForm::FormCreate() {
    created_ = true;
    image_loaded_ = loader_.LoadFirmwareImage();
    if (!image_loaded_) {
        controls_.ShowMessage(text::kImageError);
        controls_.SetStartEnabled(false);
        return false;
    }
    controls_.SetBarColor(color::kGreen);
    StartupCheck();
    return true;
}

bool MainForm::FormClose() {
    if (sequence_.busy()) {
        controls_.ShowModalBox(text::kCloseWhileBusy);
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
    app_.ProbeAppMode();
    link_.ProbeBootMode();
    const int app = app_.census().app_device_count;
    const int outdated = app_.census().outdated_count;
    const int boot = link_.boot_loader_count();
    // The check runs before any run of its unit (at creation, or for a station's next unit): the
    // run's phase is idle, so the update row's bar step below resets the bar to 0 of 13.

    if (boot == 0 && outdated == 0 && app == 1) {
        controls_.ShowRow(kRowCurrent);
    } else if (boot == 0 && outdated == 0 && app == 0) {
        controls_.ShowRow(kRowMissing);
        // Nothing found may mean a unit in application mode that this system cannot see.
        if (!app_.DriverPresent() && !told_no_driver_) {
            told_no_driver_ = true;
            controls_.ShowNotice(logtext::kNoAppDriverHere);
        }
    } else if (boot + app >= 2) {
        controls_.ShowRow(kRowSeveral);
    } else {
        controls_.ShowRow(kRowNeeded);
        link_.set_expected_count(boot + outdated);
        controls_.AdvanceProgress(sequence_.phase());
    }
}

void MainForm::CheckNextUnit() {
    sequence_.ForgetUnit();
    link_.set_expected_count(0);
    StartupCheck();
}

void MainForm::ckUpdateClick(bool checked) {
    controls_.SetForceChecked(checked);
    if (checked) {
        controls_.SetStartEnabled(app_.census().app_device_count != 0);
    } else {
        controls_.SetStartEnabled(link_.expected_count() != 0);
    }
}

}  // namespace qvt
