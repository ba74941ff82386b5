#include "simulated_world.h"

#include <algorithm>

#include "sim_ports.h"

namespace qvt::sim {

SimulatedWorld::SimulatedWorld(Clock& clock, Scenario scenario)
    : clock_(clock),
      scenario_(std::move(scenario)),
      faults_(scenario_.faults),
      driver_(std::make_unique<SimAppDriver>(*this, scenario_.app_driver)),
      bus_(std::make_unique<SimHidBus>(*this)) {
    for (const UnitSetup& setup : scenario_.units) AddUnit(setup);
    began_ms_ = clock_.NowMs();
    for (const Event& event : scenario_.events) {
        PendingEvent pending{event, std::nullopt};
        if (event.at_ms) pending.due_ms = began_ms_ + *event.at_ms;
        events_.push_back(pending);
    }
}

SimulatedWorld::~SimulatedWorld() = default;

AppDriver& SimulatedWorld::driver() {
    return *driver_;
}
HidBus& SimulatedWorld::bus() {
    return *bus_;
}

void SimulatedWorld::AddUnit(const UnitSetup& setup) {
    units_.emplace_back(units_.size(), setup, faults_, clock_,
                        UnitTimings{scenario_.boot_switch_delay_ms, scenario_.reset_delay_ms,
                                    scenario_.transfer_ms},
                        tamper_);
    units_.back().keep_history = keep_histories_;
}

void SimulatedWorld::KeepHistories() {
    keep_histories_ = true;
    for (SimUnit& unit : units_) unit.keep_history = true;
}

void SimulatedWorld::Advance() {
    ApplyDueEvents();
    for (SimUnit& unit : units_) unit.Advance();
}

void SimulatedWorld::ApplyDueEvents() {
    const std::uint64_t now = clock_.NowMs();
    for (;;) {
        PendingEvent* next = nullptr;
        for (PendingEvent& pending : events_) {
            if (pending.done || !pending.due_ms || *pending.due_ms > now) continue;
            if (!next || *pending.due_ms < *next->due_ms) next = &pending;
        }
        if (!next) return;
        next->done = true;
        ++events_acted_;
        Apply(next->event);
    }
}

void SimulatedWorld::Apply(const Event& event) {
    if (event.action == Event::Action::kAttach) {
        AddUnit(event.attached);
        // Plugged in at the very moment a reset or an end of programming went out.
        if (counting_ && clock_.NowMs() <= counted_until_ms_) ++*counting_;
        return;
    }
    // A unit that is to be plugged in later is not there yet to be acted on.
    if (static_cast<std::size_t>(event.unit) >= units_.size()) return;
    const auto index = static_cast<std::size_t>(event.unit);
    if (event.action == Event::Action::kUnplug) {
        Unplug(index);
    } else if (event.action == Event::Action::kPowerCycle || units_[index].unplugged) {
        PowerCycle(index);  // a unit plugged in already is not plugged in again
    }
}

std::size_t SimulatedWorld::UnitsOnTheBus() const {
    std::size_t count = 0;
    for (const SimUnit& unit : units_) {
        count += !unit.unplugged && unit.state != UnitState::kGone ? 1 : 0;
    }
    return count;
}

std::size_t SimulatedWorld::UnitsThere(std::size_t index) const {
    const bool target_gone = index >= units_.size() || units_[index].unplugged ||
                             units_[index].state == UnitState::kGone;
    return std::max(UnitsOnTheBus() + (target_gone ? 1 : 0), units_at_last_search_);
}

void SimulatedWorld::SearchStarted() {
    ++searches_;
    units_at_last_search_ = UnitsOnTheBus();
}

bool SimulatedWorld::units_changed() const {
    if (units_.size() > scenario_.units.size()) return true;
    for (const SimUnit& unit : units_) {
        if (unit.unplugs > 0) return true;
    }
    return false;
}

void SimulatedWorld::Unplug(std::size_t index) {
    units_.at(index).Unplug();
}

void SimulatedWorld::PowerCycle(std::size_t index) {
    units_.at(index).PowerCycle();
}

const SimUnit* SimulatedWorld::UnitInApplicationMode(int driver_index) const {
    for (const SimUnit& unit : units_) {
        if (unit.driver_index == driver_index && unit.state == UnitState::kApplication) {
            return &unit;
        }
    }
    return nullptr;
}

bool SimulatedWorld::UnitAlive(std::size_t unit, std::uint64_t generation) const {
    return unit < units_.size() && units_[unit].Alive(generation);
}

bool SimulatedWorld::DriverIoControl(std::size_t index, std::uint64_t generation,
                                     std::uint32_t code, const std::uint8_t* in,
                                     std::size_t in_size, std::uint8_t* out, std::size_t out_size,
                                     std::size_t& returned) {
    returned = 0;
    Advance();
    if (!UnitAlive(index, generation) || units_[index].state != UnitState::kApplication) {
        return false;
    }
    SimUnit& unit = units_[index];
    // Each control code takes exactly its own buffers; the driver refuses any other size.
    if (code == wire::kGetVersion) {
        if (in_size != 0 || out_size != 2 || !out) return false;
        std::size_t bytes = 0;
        const auto version = unit.QueryVersion(bytes);
        if (!version) return false;
        out[0] = static_cast<std::uint8_t>(*version & 0xFF);
        if (bytes > 1) out[1] = static_cast<std::uint8_t>(*version >> 8);
        returned = bytes;
        return true;
    }
    if (code == wire::kCommand) {
        if (in_size != 2 || out_size != 0 || !in) return false;
        const auto command = static_cast<std::uint16_t>(in[0] | (in[1] << 8));
        if (command != wire::kBootModeWord) return false;
        unit.RequestBootMode();
        return true;
    }
    return false;
}

Transfer SimulatedWorld::UnitWrite(std::size_t index, std::uint64_t generation,
                                   std::span<const std::uint8_t> report, std::uint32_t timeout_ms) {
    Advance();
    // A reset, or an end of programming, sent to every boot loader in turn is one moment: the
    // units are counted before the first of them leaves the bus, the one it is sent to among
    // them even if already gone.
    const std::uint8_t command =
        report.size() > wire::kCommandAt ? report[wire::kCommandAt] : std::uint8_t{0};
    std::size_t* counted = command == wire::kReset        ? &units_at_last_reset_
                           : command == wire::kProgramEnd ? &units_at_last_program_end_
                                                          : nullptr;
    if (counted && counted != counting_) *counted = UnitsThere(index);
    counting_ = counted;
    counted_until_ms_ = clock_.NowMs();
    if (!UnitAlive(index, generation)) return Transfer::kFailed;
    const Transfer result = units_[index].Write(report, timeout_ms);
    counted_until_ms_ = clock_.NowMs();
    if (result == Transfer::kCompleted) {
        ++total_reports_;
        for (const UnitSetup& setup : faults_.TakeAttachmentsDue(total_reports_)) {
            AddUnit(setup);
            // Plugged in by the very report that was counted for: one of those there at it.
            if (counting_) ++*counting_;
        }
        for (PendingEvent& pending : events_) {
            if (!pending.due_ms && pending.event.after_reports >= 0 &&
                total_reports_ >= pending.event.after_reports) {
                pending.due_ms = clock_.NowMs() + pending.event.delay_ms;
            }
        }
    }
    return result;
}

Transfer SimulatedWorld::UnitRead(std::size_t index, std::uint64_t generation, InputBuffer& input,
                                  std::span<std::uint8_t> report, std::uint32_t timeout_ms) {
    Advance();
    if (!UnitAlive(index, generation) || report.size() != wire::kReportBytes) {
        return Transfer::kFailed;
    }
    return units_[index].Read(input, report, timeout_ms);
}

// Time is settled before a handle comes or goes, so that a reply reaches exactly the handles
// open when it arrives.
void SimulatedWorld::AttachInput(std::size_t unit, InputBuffer& input) {
    Advance();
    units_.at(unit).Attach(input);
}

void SimulatedWorld::DetachInput(std::size_t unit, InputBuffer& input) {
    Advance();
    units_.at(unit).Detach(input);
}

bool SimulatedWorld::EventsScheduled() const {
    for (const PendingEvent& pending : events_) {
        if (!pending.done && pending.due_ms) return true;
    }
    return false;
}

}  // namespace qvt::sim
