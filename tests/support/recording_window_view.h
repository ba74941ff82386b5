#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "window_view.h"

namespace qvt::sim {

// A window view that remembers everything shown on it, for the suites, the campaign, the explorer
// and the fuzzers.
// Can: keep every call's state and every message, log line and box in order, and run a test's
// hook inside each pump, as a window message would.
// Cannot: draw, answer a box (it returns at once), or refuse anything while busy (it records
// the busy flag only).
class RecordingWindowView final : public WindowView {
  public:
    void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
    void ShowStatus(const StatusPanel& status) override { statuses.push_back(status); }
    void AppendLog(std::string_view line) override { log.emplace_back(line); }
    void ShowProgress(int position, int maximum) override {
        progress_position = position;
        progress_maximum = maximum;
        ++progress_updates;
    }
    void ShowBarColor(std::uint32_t color) override { bar_color = color; }
    void EnableStart(bool enabled) override { start_enabled = enabled; }
    void ShowForceBox(bool enabled, bool checked) override {
        force_enabled = enabled;
        force_checked = checked;
    }
    void ShowModalBox(std::string_view text) override { modal_boxes.emplace_back(text); }
    void ShowNotice(std::string_view line) override { notices.emplace_back(line); }
    void SetBusy(bool value) override {
        busy = value;
        busy_changes.push_back(value);
    }
    void Pump() override {
        ++pumps;
        if (on_pump) on_pump();
    }

    std::vector<std::string> messages;
    std::vector<StatusPanel> statuses;
    std::vector<std::string> log;
    std::vector<std::string> modal_boxes;
    std::vector<std::string> notices;
    bool busy = false;
    std::vector<bool> busy_changes;
    int progress_position = -1;
    int progress_maximum = -1;
    long progress_updates = 0;
    std::uint32_t bar_color = 0;
    bool start_enabled = true;
    bool force_enabled = true;
    bool force_checked = false;
    long pumps = 0;
    // Runs inside every pump, as a window message would: a click, a close request, a fault.
    std::function<void()> on_pump;
};

}  // namespace qvt::sim
