#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <vector>

#include "app_driver.h"
#include "clock.h"
#include "firmware_layout.h"
#include "hid_bus.h"
#include "scenario.h"

namespace qvt::sim {

class SimulatedWorld;

enum class UnitState { kApplication, kBoot, kGone };

struct Reply {
    std::uint64_t available_at_ms = 0;
    std::array<std::uint8_t, kReportSize> bytes{};
};

// One simulated QVT-40 R3: its flash, what it currently enumerates as, and what it has seen.
struct SimUnit {
    int driver_index = 0;
    UnitState state = UnitState::kApplication;
    bool unplugged = false;  // gone for good
    std::array<std::uint8_t, kProgramAreaSize> flash{};
    std::uint16_t running_version = 0;  // what the application reports
    // Every re-enumeration invalidates the handles opened before it.
    std::uint64_t generation = 0;
    std::uint64_t transition_at_ms = 0;
    bool transition_pending = false;
    UnitState transition_to = UnitState::kGone;
    std::deque<Reply> replies;

    // What the unit was sent; counted per command byte, as offered and as delivered.
    std::vector<std::array<std::uint8_t, kReportSize>> history;  // every delivered report
    std::map<std::uint8_t, long> writes_offered;
    std::map<std::uint8_t, long> reports_received;
    long total_received = 0;
    long read_requests = 0;
    long boot_requests = 0;
};

// The simulated unit(s) and foreign HID devices behind both device ports. A model of the
// device, not a script: state changes only through what the updater sends and through time.
class SimulatedWorld {
  public:
    SimulatedWorld(Clock& clock, Scenario scenario);
    ~SimulatedWorld();
    SimulatedWorld(const SimulatedWorld&) = delete;
    SimulatedWorld& operator=(const SimulatedWorld&) = delete;

    AppDriver& driver();
    HidBus& bus();

    const SimUnit& unit(std::size_t index) const { return units_.at(index); }
    std::size_t unit_count() const { return units_.size(); }
    // Device objects and HID handles currently open, of any kind.
    int open_handles() const { return open_handles_; }
    // How often a search began (the enumeration was asked for its first interface).
    long searches() const { return searches_; }
    Clock& clock() { return clock_; }

    // What a person does with the cable or the power switch.
    void Unplug(std::size_t unit);
    // The unit restarts as after a reset: into its application when a valid one is in flash.
    void PowerCycle(std::size_t unit);

    // --- used by the device objects ---
    void Advance();
    bool DriverPresent(int index, std::size_t& unit_index) const;
    bool DriverIoControl(std::size_t unit, std::uint64_t generation, std::uint32_t code,
                         const std::uint8_t* in, std::size_t in_size, std::uint8_t* out,
                         std::size_t out_size);
    std::vector<std::string> HidPaths() const;
    bool UnitAlive(std::size_t unit, std::uint64_t generation) const;
    Transfer UnitWrite(std::size_t unit, std::uint64_t generation,
                       std::span<const std::uint8_t> report, std::uint32_t timeout_ms);
    Transfer UnitRead(std::size_t unit, std::uint64_t generation, std::span<std::uint8_t> report,
                      std::uint32_t timeout_ms);
    void HandleOpened() { ++open_handles_; }
    // A new handle starts with an empty input queue, as a HID driver's per-handle buffer does.
    void DropPendingReplies(std::size_t unit) { units_.at(unit).replies.clear(); }
    void HandleClosed() { --open_handles_; }
    void SearchStarted() { ++searches_; }
    const std::vector<ForeignHid>& foreign() const { return scenario_.foreign_hid; }

  private:
    void AddUnit(const UnitSetup& setup);
    void Deliver(std::size_t index, std::span<const std::uint8_t> report);
    void StartTransition(SimUnit& unit, UnitState to, std::uint32_t delay_ms);
    void Finish(std::size_t index);
    bool HasFault(std::size_t unit, FaultKind kind, const Fault** found = nullptr) const;
    bool WriteFault(std::size_t unit, FaultKind kind, std::uint8_t command, long occurrence,
                    long any_occurrence) const;
    std::uint8_t ReadFlash(std::size_t unit, std::uint32_t address) const;

    Clock& clock_;
    Scenario scenario_;
    std::deque<SimUnit> units_;
    std::vector<bool> attached_;  // per attach fault
    long total_reports_ = 0;
    int open_handles_ = 0;
    long searches_ = 0;
    class Driver;
    class Bus;
    std::unique_ptr<Driver> driver_;
    std::unique_ptr<Bus> bus_;
};

}  // namespace qvt::sim
