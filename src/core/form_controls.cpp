#include "form_controls.h"

namespace qvt {

void FormControls::ShowMessage(std::string_view text) {
    controls_.message = text;
    view_.SetMessage(text);
}

void FormControls::ShowStatus(const StatusPanel& status) {
    controls_.status = status;
    view_.SetStatus(status);
}

void FormControls::HideStatus() {
    controls_.status.visible = false;
    view_.SetStatus(controls_.status);
}

void FormControls::ShowRow(const StartupRow& row) {
    ShowStatus({std::string(row.caption), row.background.value_or(controls_.status.background),
                row.text_color, true});
    ShowMessage(row.message);
    SetStartEnabled(row.start_enabled);
    SetForceEnabled(row.force_enabled);
}

void FormControls::AppendLog(std::string_view line) {
    controls_.log.emplace_back(line);
    view_.AppendLog(line);
}

void FormControls::SetStartEnabled(bool enabled) {
    controls_.start_enabled = enabled;
    view_.SetStartEnabled(enabled);
}

void FormControls::SetForceEnabled(bool enabled) {
    controls_.force_enabled = enabled;
    PushForce();
}

void FormControls::SetForceChecked(bool checked) {
    controls_.force_checked = checked;
    PushForce();
}

void FormControls::SetBarColor(std::uint32_t color) {
    controls_.bar_color = color;
    view_.SetBarColor(color);
}

void FormControls::RaiseProgressMaximum(int by) {
    controls_.progress_maximum += by;
    PushProgress();
}

void FormControls::AdvanceProgress(Phase phase) {
    if (UpdateStateOf(phase) != UpdateState::kIdle) {
        ++controls_.progress_position;
    } else {
        controls_.progress_position = 0;
        controls_.progress_maximum = kProgressInitialMax;
    }
    PushProgress();
    Pump();
}

}  // namespace qvt
