#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "boot_reports.h"
#include "clock.h"
#include "fault_book.h"
#include "firmware_layout.h"
#include "hid_bus.h"
#include "scenario.h"

namespace qvt::sim {

enum class UnitState { kApplication, kBoot, kGone };

struct Reply {
    std::uint64_t available_at_ms = 0;
    std::array<std::uint8_t, kReportSize> bytes{};
};

// How long the unit takes to re-enumerate after each kind of restart.
struct RestartDelays {
    std::uint32_t boot_switch_ms = 0;
    std::uint32_t reset_ms = 0;
};

// One simulated QVT-40 R3: its flash, what it currently enumerates as, and what it has been
// sent. State changes only through what arrives on its interfaces and through time.
class SimUnit {
  public:
    SimUnit(std::size_t index, const UnitSetup& setup, const FaultBook& faults, Clock& clock,
            RestartDelays delays);

    // True while handles opened in this generation still reach the unit.
    bool Alive(std::uint64_t generation) const {
        return this->generation == generation && state != UnitState::kGone;
    }
    // Completes a restart whose time has come.
    void Advance();

    // Application mode, through the maker's driver.
    std::optional<std::uint16_t> QueryVersion() const;
    void RequestBootMode();

    // Boot-loader mode, one report at a time. A write's fate follows the fault book; a
    // delivered report takes effect at once.
    Transfer Write(std::span<const std::uint8_t> report, std::uint32_t timeout_ms);
    Transfer Read(std::span<std::uint8_t> report, std::uint32_t timeout_ms);
    // A newly opened handle starts with an empty input queue.
    void DropPendingReplies() { replies_.clear(); }

    void Unplug();
    void PowerCycle();

    const std::size_t index;
    int driver_index = 0;
    UnitState state = UnitState::kApplication;
    bool unplugged = false;  // gone for good
    std::array<std::uint8_t, kProgramAreaSize> flash{};
    std::uint16_t running_version = 0;  // what the application reports
    // Every re-enumeration invalidates the handles opened before it.
    std::uint64_t generation = 0;

    // What the unit was sent; counted per command byte, as offered and as delivered.
    std::vector<std::array<std::uint8_t, kReportSize>> history;  // every delivered report
    std::map<std::uint8_t, long> writes_offered;
    std::map<std::uint8_t, long> reports_received;
    long total_received = 0;
    long read_requests = 0;
    long boot_requests = 0;

  private:
    void Deliver(std::span<const std::uint8_t> report);
    void AnswerRead(const BootCommandReport& request);
    std::uint8_t ReadFlash(std::uint32_t address) const;
    void BeginRestart(UnitState to, std::uint32_t delay_ms);
    void FinishRestart();

    const FaultBook& faults_;
    Clock& clock_;
    RestartDelays delays_;
    bool restart_pending_ = false;
    std::uint64_t restart_at_ms_ = 0;
    UnitState restart_to_ = UnitState::kGone;
    std::deque<Reply> replies_;
};

}  // namespace qvt::sim
