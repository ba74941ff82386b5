#include "fault_book.h"

#include <algorithm>

namespace qvt::sim {

FaultBook::FaultBook(std::vector<Fault> faults)
    : faults_(std::move(faults)), attached_(faults_.size(), false) {}

const Fault* FaultBook::Find(std::size_t unit, FaultKind kind) const {
    for (const Fault& fault : faults_) {
        if (fault.kind == kind && static_cast<std::size_t>(fault.unit) == unit) return &fault;
    }
    return nullptr;
}

bool FaultBook::IgnoresBootRequest(std::size_t unit) const {
    return Find(unit, FaultKind::kIgnoreBootRequest) != nullptr;
}

// Of two faults of one kind on one unit, the one that acts first wins: a query that fails from
// the start fails also after the reset.
bool FaultBook::VersionFault(FaultKind kind, std::size_t unit, bool reset) const {
    return std::any_of(faults_.begin(), faults_.end(), [&](const Fault& fault) {
        return fault.kind == kind && static_cast<std::size_t>(fault.unit) == unit &&
               (!fault.after_reset || reset);
    });
}

bool FaultBook::VersionQueryFails(std::size_t unit, bool reset) const {
    return VersionFault(FaultKind::kVersionQueryFails, unit, reset);
}

bool FaultBook::ShortVersionReply(std::size_t unit, bool reset) const {
    return VersionFault(FaultKind::kShortVersionReply, unit, reset);
}

bool FaultBook::StaysInBoot(std::size_t unit) const {
    return Find(unit, FaultKind::kStaysInBoot) != nullptr;
}

std::optional<std::uint16_t> FaultBook::ReturnVersion(std::size_t unit) const {
    const Fault* fault = Find(unit, FaultKind::kReturnVersion);
    if (!fault) return std::nullopt;
    return fault->version;
}

std::optional<long> FaultBook::UnplugAfter(std::size_t unit) const {
    std::optional<long> earliest;
    for (const Fault& fault : faults_) {
        if (fault.kind == FaultKind::kUnplug && static_cast<std::size_t>(fault.unit) == unit) {
            earliest = std::min(earliest.value_or(fault.after_reports), fault.after_reports);
        }
    }
    return earliest;
}

std::vector<FaultBook::StuckCell> FaultBook::StuckCells(std::size_t unit) const {
    std::vector<StuckCell> cells;
    for (const Fault& fault : faults_) {
        if (fault.kind == FaultKind::kStuckByte && static_cast<std::size_t>(fault.unit) == unit) {
            cells.push_back({fault.address, fault.value});
        }
    }
    return cells;
}

bool FaultBook::WriteFault(FaultKind kind, std::size_t unit, CommandFilter command, long occurrence,
                           long any_occurrence) const {
    return std::any_of(faults_.begin(), faults_.end(), [&](const Fault& fault) {
        if (fault.kind != kind || static_cast<std::size_t>(fault.unit) != unit) return false;
        if (fault.command == CommandFilter::kAny) return fault.Covers(any_occurrence);
        return fault.command == command && fault.Covers(occurrence);
    });
}

bool FaultBook::RefusesWrite(std::size_t unit, CommandFilter command, long occurrence,
                             long any_occurrence) const {
    return WriteFault(FaultKind::kRefuseWrites, unit, command, occurrence, any_occurrence);
}

bool FaultBook::FailsWrite(std::size_t unit, CommandFilter command, long occurrence,
                           long any_occurrence) const {
    return WriteFault(FaultKind::kFailingWrites, unit, command, occurrence, any_occurrence);
}

bool FaultBook::ReadIsSilent(std::size_t unit, long number) const {
    return std::any_of(faults_.begin(), faults_.end(), [&](const Fault& fault) {
        return fault.kind == FaultKind::kSilentReads &&
               static_cast<std::size_t>(fault.unit) == unit && fault.Covers(number);
    });
}

std::uint32_t FaultBook::ReadDelayMs(std::size_t unit, long number) const {
    std::uint32_t delay = 0;
    for (const Fault& fault : faults_) {
        if (fault.kind == FaultKind::kLateReads && static_cast<std::size_t>(fault.unit) == unit &&
            fault.Covers(number)) {
            delay = std::max(delay, fault.delay_ms);
        }
    }
    return delay;
}

std::vector<UnitSetup> FaultBook::TakeAttachmentsDue(long total_reports) {
    std::vector<UnitSetup> due;
    for (std::size_t i = 0; i < faults_.size(); ++i) {
        const Fault& fault = faults_[i];
        if (fault.kind == FaultKind::kAttach && !attached_[i] &&
            total_reports >= fault.after_reports) {
            attached_[i] = true;
            due.push_back(fault.attached);
        }
    }
    return due;
}

}  // namespace qvt::sim
