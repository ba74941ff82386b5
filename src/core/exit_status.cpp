#include "exit_status.h"

namespace qvt {
namespace {

constexpr ExitStatusEntry kTable[] = {
    {ExitStatus::kCompleted, "completed"},
    {ExitStatus::kFailed, "failed"},
    {ExitStatus::kCurrent, "current"},
    {ExitStatus::kImageError, "image error"},
    {ExitStatus::kNoUnit, "no unit"},
    {ExitStatus::kSeveralUnits, "several units"},
    {ExitStatus::kReturnUnconfirmed, "completed, return not confirmed"},
    {ExitStatus::kUpdateNeeded, "update needed"},
    {ExitStatus::kReplayDiverged, "replay diverged"},
    {ExitStatus::kVersionUnread, "version unread"},
    {ExitStatus::kUsage, "usage"},
    {ExitStatus::kDataError, "data error"},
    {ExitStatus::kInternal, "internal"},
    {ExitStatus::kSignalBase, "signal"},
};

}  // namespace

std::span<const ExitStatusEntry> ExitStatusTable() {
    return kTable;
}

std::string_view ExitStatusName(int code) {
    if (code >= Code(ExitStatus::kSignalBase)) return "signal";
    for (const ExitStatusEntry& entry : kTable) {
        if (Code(entry.status) == code) return entry.name;
    }
    return "";
}

ExitStatus StatusOf(const RunOutcome& outcome) {
    switch (outcome.kind) {
        case RunOutcome::Kind::kCompleted:
            return ReturnConfirmed(outcome.reason) ? ExitStatus::kCompleted
                                                   : ExitStatus::kReturnUnconfirmed;
        case RunOutcome::Kind::kFailed:
            return ExitStatus::kFailed;
        case RunOutcome::Kind::kRefused:
            break;
    }
    // A refused click of a console or a station is one the restart check refused.
    return outcome.refusal == Refusal::kVersionUnread ? ExitStatus::kVersionUnread
                                                      : ExitStatus::kCurrent;
}

ExitStatus StatusOf(const StartupFinding& finding) {
    using Situation = StartupFinding::Situation;
    switch (finding.situation) {
        case Situation::kCurrent:
            return ExitStatus::kCurrent;
        case Situation::kVersionUnread:
            return ExitStatus::kVersionUnread;
        case Situation::kMissing:
            return ExitStatus::kNoUnit;
        case Situation::kSeveral:
            return ExitStatus::kSeveralUnits;
        case Situation::kUpdateNeeded:
            break;
    }
    return ExitStatus::kUpdateNeeded;
}

}  // namespace qvt
