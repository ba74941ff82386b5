#pragma once

// The boot protocol's procedures as a run finds them: one boot loader attached, a step running.
#include "boot_protocol.h"
#include "rig.h"

namespace qvt::testing {

// A run with one boot loader attached, as the procedures find it: a step is running, so every
// bar step rises.
struct ProtocolRig : Rig {
    explicit ProtocolRig(std::string_view json = testing::kOneBootLoader) : Rig(json) {
        world.KeepHistories();
        updater.loader.LoadFirmwareImage();
    }
    BootProtocol& protocol() { return updater.protocol; }
    bool ProgramVerify(BootProtocol& with) {
        verification_began = with.Program(0);
        return verification_began && with.Verify();
    }
    bool ProgramVerify() { return ProgramVerify(updater.protocol); }
    const std::vector<std::array<std::uint8_t, kReportSize>>& history(std::size_t unit = 0) {
        return world.unit(unit).history();
    }
    BootCommandReport Report(std::size_t i, std::size_t unit = 0) {
        BootCommandReport report;
        report.bytes = history(unit).at(i);
        return report;
    }

    bool verification_began = false;
};

}  // namespace qvt::testing
