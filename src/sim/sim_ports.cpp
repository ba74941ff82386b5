#include "sim_ports.h"

#include <vector>

#include "simulated_world.h"
#include "wire_format.h"

namespace qvt::sim {
namespace {

constexpr const char* kForeignPrefix = "sim-hid/foreign/";
constexpr const char* kUnitPrefix = "sim-hid/unit/";

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

class SimDriverDevice final : public DriverDevice {
  public:
    SimDriverDevice(SimulatedWorld& world, SimAppDriver& driver, int object, std::size_t unit,
                    std::uint64_t generation)
        : world_(world), driver_(driver), object_(object), unit_(unit), generation_(generation) {
        world_.HandleOpened();
    }
    ~SimDriverDevice() override {
        driver_.Closed(object_);
        world_.HandleClosed();
    }
    bool IoControl(std::uint32_t code, const std::uint8_t* in, std::size_t in_size,
                   std::uint8_t* out, std::size_t out_size, std::size_t& returned) override {
        return world_.DriverIoControl(unit_, generation_, code, in, in_size, out, out_size,
                                      returned);
    }

  private:
    SimulatedWorld& world_;
    SimAppDriver& driver_;
    int object_;
    std::size_t unit_;
    std::uint64_t generation_;
};

// A foreign device has no unit behind it: it answers its attributes and nothing else. A
// unit's handle has its own input buffer, as the host keeps one per open handle.
class SimHidDevice final : public HidDevice {
  public:
    SimHidDevice(SimulatedWorld& world, HidAttributes attributes, std::optional<std::size_t> unit,
                 std::uint64_t generation)
        : world_(world), attributes_(attributes), unit_(unit), generation_(generation) {
        world_.HandleOpened();
        if (unit_) world_.AttachInput(*unit_, input_);
    }
    ~SimHidDevice() override {
        if (unit_) world_.DetachInput(*unit_, input_);
        world_.HandleClosed();
    }
    SimHidDevice(const SimHidDevice&) = delete;
    SimHidDevice& operator=(const SimHidDevice&) = delete;
    bool GetAttributes(HidAttributes& attributes) override {
        if (unit_ && !world_.UnitAlive(*unit_, generation_)) return false;
        attributes = attributes_;
        return true;
    }
    Transfer Write(std::span<const std::uint8_t> report, std::uint32_t timeout_ms) override {
        if (!unit_) return Transfer::kFailed;
        return world_.UnitWrite(*unit_, generation_, report, timeout_ms);
    }
    Transfer Read(std::span<std::uint8_t> report, std::uint32_t timeout_ms) override {
        if (!unit_) {
            world_.clock().Sleep(timeout_ms);  // foreign devices have nothing to say to us
            return Transfer::kTimedOut;
        }
        return world_.UnitRead(*unit_, generation_, input_, report, timeout_ms);
    }

  private:
    SimulatedWorld& world_;
    HidAttributes attributes_;
    std::optional<std::size_t> unit_;
    std::uint64_t generation_;
    InputBuffer input_;
};

}  // namespace

std::unique_ptr<DriverDevice> SimAppDriver::Open(const std::string& name) {
    world_.Advance();
    if (!present_) return nullptr;
    const std::string prefix(wire::kDeviceNamePrefix);
    // Exactly the prefix and one digit: "...Device00" or "...Device9" name no object.
    if (name.size() != prefix.size() + 1 || name.rfind(prefix, 0) != 0) return nullptr;
    const int object = name.back() - '0';
    if (object < 0 || object >= wire::kDeviceObjects) return nullptr;
    const SimUnit* unit = world_.UnitInApplicationMode(object);
    if (!unit || !open_objects_.insert(object).second) return nullptr;
    return std::make_unique<SimDriverDevice>(world_, *this, object, unit->index, unit->generation);
}

std::vector<std::string> SimHidBus::PresentPaths() const {
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < world_.foreign().size(); ++i) {
        paths.push_back(kForeignPrefix + std::to_string(i));
    }
    for (std::size_t i = 0; i < world_.unit_count(); ++i) {
        const SimUnit& unit = world_.unit(i);
        if (unit.state == UnitState::kBoot) {
            paths.push_back(kUnitPrefix + std::to_string(i) + "/" +
                            std::to_string(unit.generation));
        }
    }
    return paths;
}

std::optional<std::string> SimHidBus::InterfacePath(std::size_t index) {
    world_.Advance();
    if (index == 0) world_.SearchStarted();
    std::vector<std::string> paths = PresentPaths();
    if (index >= paths.size()) return std::nullopt;
    return paths[index];
}

std::unique_ptr<HidDevice> SimHidBus::Open(const std::string& path) {
    world_.Advance();
    unsigned long long a = 0, b = 0;
    if (ParsePath(path, kForeignPrefix, a, nullptr)) {
        if (a >= world_.foreign().size()) return nullptr;
        const ForeignHid& device = world_.foreign()[a];
        return std::make_unique<SimHidDevice>(
            world_, HidAttributes{device.vendor, device.product, 0x0100}, std::nullopt, 0);
    }
    if (ParsePath(path, kUnitPrefix, a, &b) && world_.UnitAlive(a, b) &&
        world_.unit(a).state == UnitState::kBoot) {
        return std::make_unique<SimHidDevice>(
            world_, HidAttributes{wire::kVendorId, wire::kProductId, 0x0001}, a, b);
    }
    return nullptr;
}

// A simulated interface declares what its device would: the same attributes (and faults)
// as an open one, from a handle that no transfer ever uses.
std::optional<HidAttributes> SimHidBus::Inspect(const std::string& path) {
    const auto device = Open(path);
    HidAttributes attributes;
    if (!device || !device->GetAttributes(attributes)) return std::nullopt;
    return attributes;
}

}  // namespace qvt::sim
