#include "window_model.h"

namespace qvt {

void WindowModel::ShowMessage(std::string_view text) {
    controls_.message = text;
    lines_.Message(text);
    view_.ShowMessage(text);
}

void WindowModel::ShowStatus(const StatusPanel& status) {
    controls_.status = status;
    lines_.Status(status);
    view_.ShowStatus(status);
}

void WindowModel::HideStatus() {
    StatusPanel hidden = controls_.status;
    hidden.visible = false;
    ShowStatus(hidden);
}

void WindowModel::AppendLog(std::string_view line) {
    controls_.log.emplace_back(line);
    lines_.Log(line);
    view_.AppendLog(line);
}

void WindowModel::ShowRow(const StartupRow& row) {
    ShowStatus({std::string(row.caption), row.background.value_or(controls_.status.background),
                row.text_color, true});
    ShowMessage(row.message);
    EnableStart(row.start_enabled);
    EnableForce(row.force_enabled);
}

void WindowModel::EnableStart(bool enabled) {
    controls_.start_enabled = enabled;
    lines_.Start(enabled);
    view_.EnableStart(enabled);
}

void WindowModel::EnableForce(bool enabled) {
    controls_.force_enabled = enabled;
    ShowForceBox();
}

void WindowModel::CheckForce(bool checked) {
    controls_.force_checked = checked;
    ShowForceBox();
}

void WindowModel::ShowBarColor(std::uint32_t color) {
    controls_.bar_color = color;
    view_.ShowBarColor(color);
}

void WindowModel::ResetBar() {
    controls_.progress_position = 0;
    controls_.progress_maximum = kProgressInitialMax;
    ShowProgress();
    Pump();
}

void WindowModel::AdvanceProgress() {
    ++controls_.progress_position;
    ShowProgress();
    Pump();
}

void WindowModel::RaiseBarMaximum(int by) {
    controls_.progress_maximum += by;
    ShowProgress();
}

void WindowModel::ShowModalBox(std::string_view text) {
    lines_.Box(text);
    view_.ShowModalBox(text);
}

void WindowModel::ShowProgress() {
    lines_.Progress(controls_.progress_position, controls_.progress_maximum);
    view_.ShowProgress(controls_.progress_position, controls_.progress_maximum);
}

void WindowModel::ShowForceBox() {
    lines_.Force(controls_.force_enabled, controls_.force_checked);
    view_.ShowForceBox(controls_.force_enabled, controls_.force_checked);
}

void WindowModel::BeginPhase(Phase phase, const PhaseTimes& times) {
    if (!clock_) return;
    timed_ = Timed{phase, times, clock_->NowMs()};
    view_.ShowPhaseTime(
        {PhaseName(phase), WaitingFor(phase), 0, times.typical_ms, times.limit_ms, true});
}

void WindowModel::EndPhase() {
    if (!timed_) return;
    timed_.reset();
    view_.ShowPhaseTime({});
}

void WindowModel::Pump() {
    if (timed_ && clock_) {
        const std::uint64_t so_far = clock_->NowMs() - timed_->began_ms;
        if (so_far / 1000 > timed_->shown_seconds) {
            timed_->shown_seconds = so_far / 1000;
            view_.ShowPhaseTime({PhaseName(timed_->phase), WaitingFor(timed_->phase), so_far,
                                 timed_->times.typical_ms, timed_->times.limit_ms, false});
        }
    }
    view_.Pump();
}

}  // namespace qvt
