#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "app_driver.h"
#include "clock.h"
#include "fault_book.h"
#include "hid_bus.h"
#include "scenario.h"
#include "sim_unit.h"

namespace qvt::sim {

class SimAppDriver;
class SimHidBus;

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
    const SimHidBus& sim_bus() const { return *bus_; }

    const SimUnit& unit(std::size_t index) const { return units_.at(index); }
    std::size_t unit_count() const { return units_.size(); }
    // Device objects and HID handles currently open, of any kind.
    int open_handles() const { return open_handles_; }
    // How often a search began (the enumeration was asked for its first interface).
    long searches() const { return searches_; }
    Clock& clock() { return clock_; }
    const std::vector<ForeignHid>& foreign() const { return scenario_.foreign_hid; }
    // Whether units in application mode can be seen through the maker's driver.
    bool app_driver() const { return scenario_.app_driver; }
    // Whether a person changed which units are there: one was taken off the bus, or one was
    // plugged in that the session did not begin with.
    bool units_changed() const;
    // Whether a scenario event whose moment is known has yet to act. Without one, nothing on
    // the bench changes while nothing is sent to it: an event that waits for reports to
    // arm it waits for ever.
    bool EventsScheduled() const;
    // How many of the scenario's events have acted so far.
    std::size_t EventsActed() const { return events_acted_; }
    // The units on the bus, in either mode, the moment the last reset went out, or at the
    // search just before it if more were there then: the ones an updater that counts can
    // expect back (a unit that leaves between its search and its reset, it cannot know of).
    std::size_t units_at_last_reset() const { return units_at_last_reset_; }
    // The same count at the last end of programming: the units an updater that programmed a
    // unit, but never reached it with a reset, can expect back.
    std::size_t units_at_last_program_end() const { return units_at_last_program_end_; }

    // A boot loader that answers reads with whatever `tamper` makes of its true replies.
    void SetReplyTamper(ReplyTamper tamper) { tamper_ = std::move(tamper); }
    // Every unit, and every one plugged in later, keeps every report it is sent (SimUnit::history).
    void KeepHistories();

    // What a person does with the cable or the power switch.
    void Unplug(std::size_t unit);
    // The unit restarts as after a reset: into its application when a valid one is in flash.
    void PowerCycle(std::size_t unit);

    // --- for the port adapters ---
    // Lets time act: restarts whose delay has passed complete.
    void Advance();
    // The unit whose device object has this index, while it is in application mode.
    const SimUnit* UnitInApplicationMode(int driver_index) const;
    bool UnitAlive(std::size_t unit, std::uint64_t generation) const;
    bool DriverIoControl(std::size_t unit, std::uint64_t generation, std::uint32_t code,
                         const std::uint8_t* in, std::size_t in_size, std::uint8_t* out,
                         std::size_t out_size, std::size_t& returned);
    Transfer UnitWrite(std::size_t unit, std::uint64_t generation,
                       std::span<const std::uint8_t> report, std::uint32_t timeout_ms);
    Transfer UnitRead(std::size_t unit, std::uint64_t generation, InputBuffer& input,
                      std::span<std::uint8_t> report, std::uint32_t timeout_ms);
    void AttachInput(std::size_t unit, InputBuffer& input);
    void DetachInput(std::size_t unit, InputBuffer& input);
    void HandleOpened() { ++open_handles_; }
    void HandleClosed() { --open_handles_; }
    void SearchStarted();

  private:
    void AddUnit(const UnitSetup& setup);
    // The scenario's events whose moment has come, in the order of their moments.
    void ApplyDueEvents();
    void Apply(const Event& event);

    // An event of the scenario with the moment it falls due, once that is known.
    struct PendingEvent {
        Event event;
        std::optional<std::uint64_t> due_ms;
        bool done = false;
    };

    Clock& clock_;
    Scenario scenario_;
    FaultBook faults_;
    ReplyTamper tamper_;
    bool keep_histories_ = false;
    std::deque<SimUnit> units_;  // a deque: units plugged in later never move the others
    long total_reports_ = 0;
    std::uint64_t began_ms_ = 0;
    std::vector<PendingEvent> events_;
    std::size_t events_acted_ = 0;
    std::size_t units_at_last_reset_ = 0;
    std::size_t units_at_last_program_end_ = 0;
    // The count the last report offered is a moment of (a reset, an end of programming), if
    // any, and when that report's transfer ended: a unit plugged in meanwhile is one of those
    // there at it.
    std::size_t* counting_ = nullptr;
    std::uint64_t counted_until_ms_ = 0;
    std::size_t units_at_last_search_ = 0;
    std::size_t UnitsOnTheBus() const;
    // The units there as a report goes to unit `index`: on the bus now or at the search just
    // before, the one it is sent to among them even if already gone.
    std::size_t UnitsThere(std::size_t index) const;
    int open_handles_ = 0;
    long searches_ = 0;
    std::unique_ptr<SimAppDriver> driver_;
    std::unique_ptr<SimHidBus> bus_;
};

}  // namespace qvt::sim
