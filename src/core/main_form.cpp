#include "main_form.h"

#include "texts.h"

namespace qvt {

bool MainForm::FormCreate() {
    created_ = true;
    image_loaded_ = loader_.LoadFirmwareImage();
    if (!image_loaded_) {
        model_.ShowMessage(text::kImageError);
        model_.EnableStart(false);
        return false;
    }
    model_.ShowBarColor(color::kGreen);
    StartupCheck();
    return true;
}

bool MainForm::FormClose() {
    if (sequence_.busy()) {
        model_.ShowModalBox(text::kCloseWhileBusy);
        return false;
    }
    ReleaseHandles();
    return true;
}

void MainForm::ReleaseHandles() {
    app_.CloseAppDevice();
    link_.CloseBootLoaders();
}

StartupFinding MainForm::StartupCheck() {
    using Situation = StartupFinding::Situation;
    app_.ProbeAppMode();
    ProbeBootMode();
    StartupFinding found{Situation::kUpdateNeeded, app_.census().app_device_count,
                         app_.census().outdated_count, link_.boot_loader_count()};
    if (found.boot == 0 && found.outdated == 0 && found.app == 1) {
        const bool read = app_.census().versions.front().has_value();
        if (!read) model_.AppendLog(logtext::kVersionUnread);
        found.situation = read ? Situation::kCurrent : Situation::kVersionUnread;
        model_.ShowRow(read ? kRowCurrent : kRowVersionUnread);
    } else if (found.boot == 0 && found.outdated == 0 && found.app == 0) {
        found.situation = Situation::kMissing;
        model_.ShowRow(kRowMissing);
        // Nothing found may mean a unit in application mode that this system cannot see.
        if (!app_.DriverPresent() && !told_no_driver_) {
            told_no_driver_ = true;
            model_.ShowNotice(logtext::kNoAppDriverHere);
        }
    } else if (found.boot + found.app >= 2) {
        found.situation = Situation::kSeveral;
        model_.ShowRow(kRowSeveral);
    } else {
        model_.ShowRow(kRowNeeded);
        expected_boot_loaders_ = found.boot + found.outdated;
        model_.ResetBar();
    }
    finding_ = found;
    return found;
}

RunOutcome MainForm::btnStartClick() {
    const RunOutcome outcome = sequence_.btnStartClick(expected_boot_loaders_);
    // A click that found one unit it would not update leaves the window as the start-up check
    // would have begun with that unit: no update expected, Start waiting for the force box.
    const bool refused_as_found =
        outcome.refusal == Refusal::kNothingToUpdate || outcome.refusal == Refusal::kVersionUnread;
    if (refused_as_found) expected_boot_loaders_ = 0;
    return outcome;
}

void MainForm::CheckNextUnit() {
    sequence_.ForgetUnit();
    expected_boot_loaders_ = 0;
    StartupCheck();
}

void MainForm::ckUpdateClick(bool checked) {
    model_.CheckForce(checked);
    if (checked) {
        model_.EnableStart(app_.census().app_device_count != 0);
    } else {
        model_.EnableStart(expected_boot_loaders_ != 0);
    }
}

}  // namespace qvt
