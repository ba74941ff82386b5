#pragma once

#include <optional>
#include <string>
#include <vector>

#include "exit_status.h"
#include "updater.h"

namespace qvt::linux_app {

// What --check found: each unit as the start-up check saw it, and the status a run would give
// (kUpdateNeeded where it would update).
struct CheckReport {
    struct Unit {
        bool boot_loader = false;
        std::optional<std::uint16_t> version;  // in its application: none when unread
    };
    std::vector<Unit> units;
    ExitStatus status = ExitStatus::kNoUnit;
};

// From the start-up check that `updater` made when its window was created.
CheckReport ReportCheck(const Updater& updater);
// The report as the transcript's lines: one per unit, then "check: " and the status's name.
std::vector<std::string> CheckLines(const CheckReport& report);

}  // namespace qvt::linux_app
