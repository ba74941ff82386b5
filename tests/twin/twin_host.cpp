#include "twin_host.h"

#include <algorithm>
#include <cstdio>

#include "embedded_image.h"
#include "firmware_image.h"
#include "product_table.h"
#include "sim_ports.h"
#include "version_text.h"
#include "wire_format.h"

namespace qvt::twin {

TwinHost::TwinHost(Clock& clock, sim::Scenario scenario) : world_(clock, std::move(scenario)) {
    // The image the units are measured against is the one the products carry.
    EmbeddedImageResource resource;
    FirmwareImageLoader loader(resource, ProductDescrambleTable(), image_);
    if (loader.LoadFirmwareImage()) image_version_ = loader.ImageVersion();
}

Inventory TwinHost::Look() {
    world_.Advance();
    Inventory now;
    for (int number = 0; number < sim::wire::kDeviceObjects; ++number) {
        if (world_.driver().Present() && world_.UnitInApplicationMode(number)) {
            now.app_objects.push_back(number);
        }
    }
    for (const std::string& path : world_.sim_bus().PresentPaths()) {
        // Only to ask its attributes; the model counts the handle and its closing.
        const auto device = world_.bus().Open(path);
        HidAttributes attributes;
        if (device && device->GetAttributes(attributes)) now.hids.push_back({path, attributes});
    }
    return now;
}

TwinHost::Handle TwinHost::OpenObject(int number) {
    if (number < 0 || number >= sim::wire::kDeviceObjects) return 0;
    auto object = world_.driver().Open(std::string(sim::wire::kDeviceNamePrefix) +
                                       static_cast<char>('0' + number));
    if (!object) return 0;
    const Handle handle = next_++;
    open_[handle].object = std::move(object);
    return handle;
}

TwinHost::Handle TwinHost::OpenHid(const std::string& path) {
    auto device = world_.bus().Open(path);
    if (!device) return 0;
    const Handle handle = next_++;
    open_[handle].hid = std::move(device);
    return handle;
}

void TwinHost::Close(Handle handle) {
    open_.erase(handle);
}

TwinHost::Open* TwinHost::Find(Handle handle) {
    const auto found = open_.find(handle);
    return found == open_.end() ? nullptr : &found->second;
}

bool TwinHost::Attributes(Handle handle, HidAttributes& attributes) {
    Open* open = Find(handle);
    return open && open->hid && open->hid->GetAttributes(attributes);
}

bool TwinHost::IoControl(Handle handle, std::uint32_t code, std::span<const std::uint8_t> in,
                         std::span<std::uint8_t> out, std::size_t& returned) {
    returned = 0;
    Open* open = Find(handle);
    if (!open || !open->object) return false;
    return open->object->IoControl(code, in.empty() ? nullptr : in.data(), in.size(),
                                   out.empty() ? nullptr : out.data(), out.size(), returned);
}

Transfer TwinHost::Write(Handle handle, std::span<const std::uint8_t> report) {
    Open* open = Find(handle);
    if (!open || !open->hid) return Transfer::kFailed;
    // No bound of its own: the stack's caller decides how long it waits.
    return open->hid->Write(report, 0);
}

TwinHost::Input TwinHost::TakeInput(Handle handle, sim::WireReport& report) {
    Open* open = Find(handle);
    if (!open || !open->hid) return Input::kGone;
    if (!open->given_back.empty()) {
        report = open->given_back.front();
        open->given_back.pop_front();
        return Input::kReport;
    }
    switch (open->hid->Read(report, 0)) {
        case Transfer::kCompleted:
            return Input::kReport;
        case Transfer::kTimedOut:
            return Input::kNothing;
        case Transfer::kFailed:
            break;
    }
    return Input::kGone;
}

void TwinHost::GiveBack(Handle handle, const sim::WireReport& report) {
    if (Open* open = Find(handle)) open->given_back.push_front(report);
}

bool TwinHost::UnitCurrent(std::size_t index) const {
    if (index >= world_.unit_count() || image_version_ == 0) return false;
    const sim::SimUnit& unit = world_.unit(index);
    return unit.state == sim::UnitState::kApplication && unit.running_version == image_version_ &&
           std::equal(unit.flash.begin() + sim::wire::kApplicationStart, unit.flash.end(),
                      image_.program.begin() + sim::wire::kApplicationStart);
}

std::vector<std::string> TwinHost::Account() const {
    std::vector<std::string> lines;
    if (world_.unit_count() == 0) lines.push_back("unit: none");
    for (std::size_t index = 0; index < world_.unit_count(); ++index) {
        const sim::SimUnit& unit = world_.unit(index);
        const std::string which =
            world_.unit_count() == 1 ? "" : " (unit " + std::to_string(index) + ")";
        const auto differs =
            std::mismatch(unit.flash.begin() + sim::wire::kApplicationStart, unit.flash.end(),
                          image_.program.begin() + sim::wire::kApplicationStart);
        if (differs.first == unit.flash.end()) {
            lines.push_back("flash" + which + ": matches the image");
        } else {
            char address[16];
            std::snprintf(address, sizeof address, "0x%04X",
                          static_cast<unsigned>(differs.first - unit.flash.begin()));
            lines.push_back("flash" + which + ": differs at " + address);
        }
        std::string mode = unit.state == sim::UnitState::kApplication
                               ? "application, version " + FormatVersion(unit.running_version)
                           : unit.state == sim::UnitState::kBoot ? "boot loader"
                                                                 : "gone";
        lines.push_back("unit" + which + ": " + mode);
    }
    return lines;
}

}  // namespace qvt::twin
