#include "check_report.h"

#include "version_text.h"

namespace qvt::linux_app {

CheckReport ReportCheck(const Updater& updater) {
    CheckReport report;
    for (const VersionReading& version : updater.app.census().versions) {
        report.units.push_back({false, version});
    }
    for (std::int32_t n = 0; n < updater.link.boot_loaders_seen(); ++n) {
        report.units.push_back({true, std::nullopt});
    }
    report.status = StatusOf(updater.form.finding());
    return report;
}

std::vector<std::string> CheckLines(const CheckReport& report) {
    std::vector<std::string> lines;
    for (const CheckReport::Unit& unit : report.units) {
        if (unit.boot_loader) {
            lines.push_back("check: a unit in its boot loader");
        } else {
            lines.push_back("check: a unit in its application, version " +
                            (unit.version ? FormatVersion(*unit.version) : "unreadable"));
        }
    }
    lines.push_back("check: " + std::string(ExitStatusName(Code(report.status))));
    return lines;
}

}  // namespace qvt::linux_app
