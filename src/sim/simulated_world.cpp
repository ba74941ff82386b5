#include "simulated_world.h"

#include <algorithm>
#include <string>

#include "boot_loader_link.h"
#include "boot_reports.h"
#include "synthetic_firmware.h"

namespace qvt::sim {
namespace {

constexpr const char* kForeignPrefix = "sim-hid/foreign/";
constexpr const char* kUnitPrefix = "sim-hid/unit/";

std::uint8_t FilterCommand(CommandFilter filter) {
    switch (filter) {
        case CommandFilter::kErase:
            return BOOT_CMD_ERASE;
        case CommandFilter::kProgram:
            return BOOT_CMD_PROGRAM;
        case CommandFilter::kProgramEnd:
            return BOOT_CMD_PROGRAM_END;
        case CommandFilter::kRead:
            return BOOT_CMD_READ;
        case CommandFilter::kReset:
            return BOOT_CMD_RESET;
        case CommandFilter::kAny:
            break;
    }
    return 0;
}

// Parses "<prefix><a>/<b>" or "<prefix><a>".
bool ParsePath(const std::string& path, const char* prefix, unsigned long long& a,
               unsigned long long* b) {
    const std::string head(prefix);
    if (path.rfind(head, 0) != 0) return false;
    const std::string rest = path.substr(head.size());
    try {
        std::size_t used = 0;
        a = std::stoull(rest, &used);
        if (!b) return used == rest.size();
        if (used >= rest.size() || rest[used] != '/') return false;
        const std::string tail = rest.substr(used + 1);
        *b = std::stoull(tail, &used);
        return used == tail.size();
    } catch (...) {
        return false;
    }
}

}  // namespace

class SimDriverDevice final : public DriverDevice {
  public:
    SimDriverDevice(SimulatedWorld& world, std::size_t unit, std::uint64_t generation)
        : world_(world), unit_(unit), generation_(generation) {
        world_.HandleOpened();
    }
    ~SimDriverDevice() override { world_.HandleClosed(); }
    bool IoControl(std::uint32_t code, const std::uint8_t* in, std::size_t in_size,
                   std::uint8_t* out, std::size_t out_size) override {
        return world_.DriverIoControl(unit_, generation_, code, in, in_size, out, out_size);
    }

  private:
    SimulatedWorld& world_;
    std::size_t unit_;
    std::uint64_t generation_;
};

class SimHidDevice final : public HidDevice {
  public:
    // A foreign device has no unit behind it.
    SimHidDevice(SimulatedWorld& world, HidAttributes attributes, bool is_unit, std::size_t unit,
                 std::uint64_t generation)
        : world_(world),
          attributes_(attributes),
          is_unit_(is_unit),
          unit_(unit),
          generation_(generation) {
        world_.HandleOpened();
    }
    ~SimHidDevice() override { world_.HandleClosed(); }
    bool GetAttributes(HidAttributes& attributes) override {
        if (is_unit_ && !world_.UnitAlive(unit_, generation_)) return false;
        attributes = attributes_;
        return true;
    }
    Transfer Write(std::span<const std::uint8_t> report, std::uint32_t timeout_ms) override {
        if (!is_unit_) return Transfer::kFailed;
        return world_.UnitWrite(unit_, generation_, report, timeout_ms);
    }
    Transfer Read(std::span<std::uint8_t> report, std::uint32_t timeout_ms) override {
        if (!is_unit_) {
            world_.clock().Sleep(timeout_ms);  // foreign devices have nothing to say to us
            return Transfer::kTimedOut;
        }
        return world_.UnitRead(unit_, generation_, report, timeout_ms);
    }

  private:
    SimulatedWorld& world_;
    HidAttributes attributes_;
    bool is_unit_;
    std::size_t unit_;
    std::uint64_t generation_;
};

class SimulatedWorld::Driver final : public AppDriver {
  public:
    explicit Driver(SimulatedWorld& world) : world_(world) {}
    std::unique_ptr<DriverDevice> Open(const std::string& name) override {
        world_.Advance();
        const std::string prefix = "\\\\.\\QvtUsb2Device";
        if (name.rfind(prefix, 0) != 0) return nullptr;
        const std::string digits = name.substr(prefix.size());
        if (digits.empty() || digits.size() > 3 ||
            !std::all_of(digits.begin(), digits.end(),
                         [](char c) { return c >= '0' && c <= '9'; })) {
            return nullptr;
        }
        std::size_t unit = 0;
        if (!world_.DriverPresent(std::stoi(digits), unit)) return nullptr;
        return std::make_unique<SimDriverDevice>(world_, unit, world_.unit(unit).generation);
    }

  private:
    SimulatedWorld& world_;
};

class SimulatedWorld::Bus final : public HidBus {
  public:
    explicit Bus(SimulatedWorld& world) : world_(world) {}
    std::optional<std::string> InterfacePath(std::size_t index) override {
        world_.Advance();
        if (index == 0) world_.SearchStarted();
        const auto paths = world_.HidPaths();
        if (index >= paths.size()) return std::nullopt;
        return paths[index];
    }
    std::unique_ptr<HidDevice> Open(const std::string& path) override {
        world_.Advance();
        unsigned long long a = 0, b = 0;
        if (ParsePath(path, kForeignPrefix, a, nullptr)) {
            if (a >= world_.foreign().size()) return nullptr;
            const ForeignHid& device = world_.foreign()[a];
            return std::make_unique<SimHidDevice>(
                world_, HidAttributes{device.vendor, device.product, 0x0100}, false, 0, 0);
        }
        if (ParsePath(path, kUnitPrefix, a, &b) && world_.UnitAlive(a, b) &&
            world_.unit(a).state == UnitState::kBoot) {
            world_.DropPendingReplies(a);
            return std::make_unique<SimHidDevice>(
                world_, HidAttributes{kBootLoaderVendorId, kBootLoaderProductId, 0x0001}, true, a,
                b);
        }
        return nullptr;
    }

  private:
    SimulatedWorld& world_;
};

SimulatedWorld::SimulatedWorld(Clock& clock, Scenario scenario)
    : clock_(clock),
      scenario_(std::move(scenario)),
      driver_(std::make_unique<Driver>(*this)),
      bus_(std::make_unique<Bus>(*this)) {
    for (const UnitSetup& setup : scenario_.units) AddUnit(setup);
    attached_.assign(scenario_.faults.size(), false);
}

SimulatedWorld::~SimulatedWorld() = default;

AppDriver& SimulatedWorld::driver() {
    return *driver_;
}
HidBus& SimulatedWorld::bus() {
    return *bus_;
}

void SimulatedWorld::AddUnit(const UnitSetup& setup) {
    SimUnit unit;
    unit.driver_index = static_cast<int>(units_.size());
    unit.flash = SynthesizeFirmware(setup.version.value_or(0)).program;
    if (!setup.version) {
        std::fill(unit.flash.begin() + kFlashFirstAddress, unit.flash.end(), 0xFF);
    }
    unit.running_version = setup.version.value_or(0);
    unit.state =
        setup.mode == UnitSetup::Mode::kApplication ? UnitState::kApplication : UnitState::kBoot;
    units_.push_back(unit);
}

bool SimulatedWorld::HasFault(std::size_t unit, FaultKind kind, const Fault** found) const {
    for (const Fault& fault : scenario_.faults) {
        if (fault.kind == kind && static_cast<std::size_t>(fault.unit) == unit) {
            if (found) *found = &fault;
            return true;
        }
    }
    return false;
}

bool SimulatedWorld::WriteFault(std::size_t unit, FaultKind kind, std::uint8_t command,
                                long occurrence, long any_occurrence) const {
    for (const Fault& fault : scenario_.faults) {
        if (fault.kind != kind || static_cast<std::size_t>(fault.unit) != unit) continue;
        if (fault.command == CommandFilter::kAny) {
            if (fault.Covers(any_occurrence)) return true;
        } else if (FilterCommand(fault.command) == command && fault.Covers(occurrence)) {
            return true;
        }
    }
    return false;
}

void SimulatedWorld::StartTransition(SimUnit& unit, UnitState to, std::uint32_t delay_ms) {
    unit.state = UnitState::kGone;
    ++unit.generation;
    unit.replies.clear();
    unit.transition_pending = true;
    unit.transition_to = to;
    unit.transition_at_ms = clock_.NowMs() + delay_ms;
}

void SimulatedWorld::Finish(std::size_t index) {
    SimUnit& unit = units_[index];
    unit.transition_pending = false;
    ++unit.generation;
    if (unit.transition_to == UnitState::kApplication) {
        const Fault* override = nullptr;
        const auto version = ValidApplicationVersion(unit.flash);
        if (HasFault(index, FaultKind::kStaysInBoot) || !version) {
            unit.state = UnitState::kBoot;  // the boot loader starts no broken application
            return;
        }
        unit.running_version =
            HasFault(index, FaultKind::kReturnVersion, &override) ? override->version : *version;
    }
    unit.state = unit.transition_to;
}

void SimulatedWorld::Advance() {
    const std::uint64_t now = clock_.NowMs();
    for (std::size_t i = 0; i < units_.size(); ++i) {
        SimUnit& unit = units_[i];
        if (unit.transition_pending && !unit.unplugged && now >= unit.transition_at_ms) Finish(i);
    }
}

void SimulatedWorld::Unplug(std::size_t index) {
    SimUnit& unit = units_.at(index);
    unit.state = UnitState::kGone;
    unit.unplugged = true;
    unit.transition_pending = false;
    ++unit.generation;
}

void SimulatedWorld::PowerCycle(std::size_t index) {
    SimUnit& unit = units_.at(index);
    unit.unplugged = false;
    StartTransition(unit, UnitState::kApplication, 0);
    Finish(index);
}

bool SimulatedWorld::DriverPresent(int index, std::size_t& unit_index) const {
    for (std::size_t i = 0; i < units_.size(); ++i) {
        if (units_[i].driver_index == index && units_[i].state == UnitState::kApplication) {
            unit_index = i;
            return true;
        }
    }
    return false;
}

bool SimulatedWorld::UnitAlive(std::size_t unit, std::uint64_t generation) const {
    return unit < units_.size() && units_[unit].generation == generation &&
           units_[unit].state != UnitState::kGone;
}

bool SimulatedWorld::DriverIoControl(std::size_t index, std::uint64_t generation,
                                     std::uint32_t code, const std::uint8_t* in,
                                     std::size_t in_size, std::uint8_t* out, std::size_t out_size) {
    Advance();
    if (!UnitAlive(index, generation) || units_[index].state != UnitState::kApplication)
        return false;
    SimUnit& unit = units_[index];
    if (code == IOCTL_QVT_GET_VERSION) {
        if (HasFault(index, FaultKind::kVersionQueryFails) || out_size < 2 || !out) return false;
        out[0] = static_cast<std::uint8_t>(unit.running_version & 0xFF);
        out[1] = static_cast<std::uint8_t>(unit.running_version >> 8);
        return true;
    }
    if (code == IOCTL_QVT_COMMAND) {
        if (in_size < 2 || !in) return false;
        const auto command = static_cast<std::uint16_t>(in[0] | (in[1] << 8));
        if (command != kBootModeCommand) return false;
        ++unit.boot_requests;
        if (!HasFault(index, FaultKind::kIgnoreBootRequest)) {
            StartTransition(unit, UnitState::kBoot, scenario_.boot_switch_delay_ms);
        }
        return true;
    }
    return false;
}

std::vector<std::string> SimulatedWorld::HidPaths() const {
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < scenario_.foreign_hid.size(); ++i) {
        paths.push_back(kForeignPrefix + std::to_string(i));
    }
    for (std::size_t i = 0; i < units_.size(); ++i) {
        if (units_[i].state == UnitState::kBoot) {
            paths.push_back(kUnitPrefix + std::to_string(i) + "/" +
                            std::to_string(units_[i].generation));
        }
    }
    return paths;
}

Transfer SimulatedWorld::UnitWrite(std::size_t index, std::uint64_t generation,
                                   std::span<const std::uint8_t> report, std::uint32_t timeout_ms) {
    Advance();
    if (!UnitAlive(index, generation) || report.size() != kReportSize) return Transfer::kFailed;
    SimUnit& unit = units_[index];
    const std::uint8_t command = report[1];
    const long occurrence = ++unit.writes_offered[command];
    long any_occurrence = 0;
    for (const auto& [code, count] : unit.writes_offered) any_occurrence += count;
    if (WriteFault(index, FaultKind::kRefuseWrites, command, occurrence, any_occurrence)) {
        clock_.Sleep(timeout_ms);  // the transfer never completes and is cancelled
        return Transfer::kTimedOut;
    }
    if (WriteFault(index, FaultKind::kFailingWrites, command, occurrence, any_occurrence)) {
        return Transfer::kFailed;
    }
    Deliver(index, report);
    return Transfer::kCompleted;
}

std::uint8_t SimulatedWorld::ReadFlash(std::size_t index, std::uint32_t address) const {
    if (address >= kFlashEndAddress) return 0x00;  // past the flash the boot loader sends zeros
    for (const Fault& fault : scenario_.faults) {
        if (fault.kind == FaultKind::kStuckByte && static_cast<std::size_t>(fault.unit) == index &&
            fault.address == address) {
            return fault.value;
        }
    }
    return units_[index].flash[address];
}

void SimulatedWorld::Deliver(std::size_t index, std::span<const std::uint8_t> report) {
    SimUnit& unit = units_[index];
    ++unit.reports_received[report[1]];
    unit.history.emplace_back();
    std::copy(report.begin(), report.end(), unit.history.back().begin());
    ++unit.total_received;
    ++total_reports_;
    BootCommandReport request;
    std::copy(report.begin(), report.end(), request.bytes.begin());

    switch (request.command()) {
        case BOOT_CMD_ERASE:
            std::fill(unit.flash.begin() + kFlashFirstAddress, unit.flash.end(), 0xFF);
            break;
        case BOOT_CMD_PROGRAM: {
            const std::size_t length = std::min<std::size_t>(request.length(), kChunkSize);
            for (std::size_t i = 0; i < length; ++i) {
                const std::uint32_t address = request.address() + static_cast<std::uint32_t>(i);
                // Flash programming only clears bits; the boot loader guards its own area.
                if (address >= kFlashFirstAddress && address < kFlashEndAddress) {
                    unit.flash[address] &= request.data()[i];
                }
            }
            break;
        }
        case BOOT_CMD_READ: {
            const long number = ++unit.read_requests;
            bool silent = false;
            std::uint32_t delay = 0;
            for (const Fault& fault : scenario_.faults) {
                if (static_cast<std::size_t>(fault.unit) != index || !fault.Covers(number))
                    continue;
                if (fault.kind == FaultKind::kSilentReads) silent = true;
                if (fault.kind == FaultKind::kLateReads) delay = std::max(delay, fault.delay_ms);
            }
            if (silent) break;
            Reply reply;
            reply.available_at_ms = clock_.NowMs() + delay;
            std::copy_n(request.bytes.begin(), kReportDataOffset, reply.bytes.begin());
            for (std::size_t i = 0; i < kChunkSize; ++i) {
                reply.bytes[kReportDataOffset + i] =
                    ReadFlash(index, request.address() + static_cast<std::uint32_t>(i));
            }
            unit.replies.push_back(reply);
            break;
        }
        case BOOT_CMD_RESET:
            StartTransition(unit, UnitState::kApplication, scenario_.reset_delay_ms);
            break;
        default:
            break;  // end of programming and unknown commands change nothing here
    }

    const Fault* unplug = nullptr;
    if (HasFault(index, FaultKind::kUnplug, &unplug) &&
        unit.total_received >= unplug->after_reports) {
        Unplug(index);
    }
    for (std::size_t i = 0; i < scenario_.faults.size(); ++i) {
        const Fault& fault = scenario_.faults[i];
        if (fault.kind == FaultKind::kAttach && !attached_[i] &&
            total_reports_ >= fault.after_reports) {
            attached_[i] = true;
            AddUnit(fault.attached);
        }
    }
}

Transfer SimulatedWorld::UnitRead(std::size_t index, std::uint64_t generation,
                                  std::span<std::uint8_t> report, std::uint32_t timeout_ms) {
    Advance();
    if (!UnitAlive(index, generation) || report.size() != kReportSize) return Transfer::kFailed;
    SimUnit& unit = units_[index];
    const std::uint64_t now = clock_.NowMs();
    if (!unit.replies.empty() && unit.replies.front().available_at_ms <= now + timeout_ms) {
        const Reply reply = unit.replies.front();
        unit.replies.pop_front();
        if (reply.available_at_ms > now)
            clock_.Sleep(static_cast<std::uint32_t>(reply.available_at_ms - now));
        std::copy(reply.bytes.begin(), reply.bytes.end(), report.begin());
        return Transfer::kCompleted;
    }
    clock_.Sleep(timeout_ms);
    return Transfer::kTimedOut;
}

}  // namespace qvt::sim
