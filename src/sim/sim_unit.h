#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "clock.h"
#include "fault_book.h"
#include "hid_bus.h"
#include "scenario.h"
#include "wire_format.h"

namespace qvt::sim {

// The bytes a read that timed out leaves in the caller's buffer.
inline constexpr std::uint8_t kTimedOutReadFill = 0xEE;

enum class UnitState { kApplication, kBoot, kGone };

using WireReport = std::array<std::uint8_t, wire::kReportBytes>;

// What the host keeps for one open handle: input reports not yet read, oldest first. Windows
// keeps 32 by default and drops the oldest when another arrives.
struct InputBuffer {
    static constexpr std::size_t kCapacity = 32;
    std::uint64_t generation = 0;  // the unit's enumeration the handle was opened in
    std::deque<WireReport> reports;
};

// Rewrites a reply on its way to the host, for a boot loader that answers with anything at all
// (the replies' fuzzer); the request's address comes with it.
using ReplyTamper = std::function<void(std::uint32_t address, WireReport& reply)>;

// The unit's timings: its restarts, and what one interrupt transfer costs.
struct UnitTimings {
    std::uint32_t boot_switch_ms = 0;
    std::uint32_t reset_ms = 0;
    std::uint32_t transfer_ms = 0;
};

// One simulated QVT-40 R3: its flash, what it currently enumerates as, and what it has been
// sent. State changes only through what arrives on its interfaces and through time.
class SimUnit {
  public:
    SimUnit(std::size_t index, const UnitSetup& setup, const FaultBook& faults, Clock& clock,
            UnitTimings timings, const ReplyTamper& tamper);

    // True while handles opened in this generation still reach the unit.
    bool Alive(std::uint64_t generation) const {
        return this->generation == generation && state != UnitState::kGone;
    }
    // Lets time act: a due restart completes and replies in flight reach the open handles.
    void Advance();

    // Application mode, through the maker's driver: the version word, or nullopt when the
    // query fails; `bytes` is how much of the word the reply carries.
    std::optional<std::uint16_t> QueryVersion(std::size_t& bytes) const;
    void RequestBootMode();

    // Boot-loader mode. A write's fate follows the fault book; a delivered report costs one
    // transfer and then takes effect.
    Transfer Write(std::span<const std::uint8_t> report, std::uint32_t timeout_ms);
    // Reads the oldest report of the handle's buffer, waiting at most `timeout_ms` for one.
    Transfer Read(InputBuffer& buffer, std::span<std::uint8_t> report, std::uint32_t timeout_ms);
    // Every handle open on the unit receives every reply sent while it is open.
    void Attach(InputBuffer& buffer);
    void Detach(InputBuffer& buffer);

    void Unplug();
    void PowerCycle();

    const std::size_t index;
    int driver_index = 0;
    UnitState state = UnitState::kApplication;
    bool unplugged = false;  // gone for good
    std::array<std::uint8_t, wire::kFlashBytes> flash{};
    // The boot loader's own area as the unit came, which nothing may ever change.
    std::array<std::uint8_t, wire::kApplicationStart> boot_area_at_start{};
    // Set by the end-of-programming command, cleared by erasing or programming: the boot loader
    // starts no application whose programming was never ended.
    bool image_complete = false;
    std::uint16_t running_version = 0;  // what the application reports
    // Every re-enumeration invalidates the handles opened before it.
    std::uint64_t generation = 0;

    // Every delivered report, kept only once asked for (SimulatedWorld::KeepHistories, for the
    // protocol's tests): a whole update's is 160 KiB that a session never reads, 106 of a
    // simulated run's 927 page faults. Asked for unkept, it throws rather than read as empty.
    const std::vector<WireReport>& history() const;
    bool keep_history = false;

    // What the unit was sent, counted per command byte, as offered and as delivered.
    std::map<std::uint8_t, long> writes_offered;
    std::map<std::uint8_t, long> reports_received;
    long total_received = 0;
    long read_requests = 0;
    long boot_requests = 0;
    long resets = 0;   // reset commands delivered
    long unplugs = 0;  // times the unit was taken off the bus

  private:
    struct InFlight {
        std::uint64_t arrives_at_ms = 0;
        WireReport bytes{};
    };

    void Deliver(std::span<const std::uint8_t> report);
    void Program(std::uint32_t address, std::span<const std::uint8_t> data);
    void AnswerRead(std::span<const std::uint8_t> request);
    void ApplyStuckCells();
    void ArriveDue();
    void BeginRestart(UnitState to, std::uint32_t delay_ms);
    void FinishRestart();

    const FaultBook& faults_;
    Clock& clock_;
    UnitTimings timings_;
    const ReplyTamper& tamper_;
    bool restart_pending_ = false;
    std::uint64_t restart_at_ms_ = 0;
    UnitState restart_to_ = UnitState::kGone;
    std::deque<InFlight> in_flight_;
    std::vector<InputBuffer*> open_buffers_;
    std::vector<WireReport> history_;
};

}  // namespace qvt::sim
