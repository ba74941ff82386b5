#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "scenario.h"

namespace qvt::sim {

// The scenario's faults, asked one question per kind. Write and read faults are selected by
// their occurrence, counted from 1 over the whole session.
class FaultBook {
  public:
    explicit FaultBook(std::vector<Fault> faults);

    bool IgnoresBootRequest(std::size_t unit) const;
    // `reset` tells whether the unit has been reset since the session began.
    bool VersionQueryFails(std::size_t unit, bool reset) const;
    bool ShortVersionReply(std::size_t unit, bool reset) const;
    bool StaysInBoot(std::size_t unit) const;
    std::optional<std::uint16_t> ReturnVersion(std::size_t unit) const;
    std::optional<long> UnplugAfter(std::size_t unit) const;
    struct StuckCell {
        std::uint32_t address;
        std::uint8_t value;
    };
    std::vector<StuckCell> StuckCells(std::size_t unit) const;

    // `occurrence` counts this command's writes, `any_occurrence` every write to the unit.
    bool RefusesWrite(std::size_t unit, CommandFilter command, long occurrence,
                      long any_occurrence) const;
    bool FailsWrite(std::size_t unit, CommandFilter command, long occurrence,
                    long any_occurrence) const;

    // `number` counts the unit's read requests.
    bool ReadIsSilent(std::size_t unit, long number) const;
    std::uint32_t ReadDelayMs(std::size_t unit, long number) const;

    // The units to plug in once this many reports have reached all units together; each is
    // handed out once.
    std::vector<UnitSetup> TakeAttachmentsDue(long total_reports);

  private:
    const Fault* Find(std::size_t unit, FaultKind kind) const;
    bool VersionFault(FaultKind kind, std::size_t unit, bool reset) const;
    bool WriteFault(FaultKind kind, std::size_t unit, CommandFilter command, long occurrence,
                    long any_occurrence) const;

    std::vector<Fault> faults_;
    std::vector<bool> attached_;  // per fault; used by attach faults only
};

}  // namespace qvt::sim
