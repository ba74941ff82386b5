#include "window.h"

namespace qvt {

void Window::ShowMessage(std::string_view text) {
    controls_.message = text;
    view_.SetMessage(text);
}

void Window::ShowStatus(const StatusPanel& status) {
    controls_.status = status;
    view_.SetStatus(status);
}

void Window::HideStatus() {
    controls_.status.visible = false;
    view_.SetStatus(controls_.status);
}

void Window::AppendLog(std::string_view line) {
    controls_.log.emplace_back(line);
    view_.AppendLog(line);
}

void Window::SetStartEnabled(bool enabled) {
    controls_.start_enabled = enabled;
    view_.SetStartEnabled(enabled);
}

void Window::SetForceEnabled(bool enabled) {
    controls_.force_enabled = enabled;
    PushForce();
}

void Window::SetForceChecked(bool checked) {
    controls_.force_checked = checked;
    PushForce();
}

void Window::SetBarColor(std::uint32_t color) {
    controls_.bar_color = color;
    view_.SetBarColor(color);
}

void Window::RaiseProgressMaximum(int by) {
    controls_.progress_maximum += by;
    PushProgress();
}

void Window::AdvanceProgress() {
    if (UpdateState != 0) {
        ++controls_.progress_position;
    } else {
        controls_.progress_position = 0;
        controls_.progress_maximum = kProgressInitialMax;
    }
    PushProgress();
    Pump();
}

}  // namespace qvt
