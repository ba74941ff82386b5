#pragma once

// A world of simulated units driven by hand, report by report, for the simulator's own tests.
#include <gtest/gtest.h>

#include "rig.h"
#include "synthetic_firmware.h"

namespace qvt::sim::rig {

using qvt::testing::ScenarioFrom;

// The protocol's command codes and the driver's control codes, written here from the tables
// rather than taken from either side's code.
enum : std::uint8_t { kErase = 4, kProgram = 5, kProgramEnd = 6, kRead = 7, kReset = 8 };
constexpr std::uint32_t kGetVersion = 0x00222048;
constexpr std::uint32_t kCommand = 0x0022205C;
constexpr const char* kDevice0 = "\\\\.\\QvtUsb2Device0";

using Report = std::array<std::uint8_t, 65>;

// A control call whose returned byte count the test does not look at.
inline bool Call(DriverDevice& device, std::uint32_t code, const std::uint8_t* in,
                 std::size_t in_size, std::uint8_t* out, std::size_t out_size) {
    std::size_t returned = 0;
    return device.IoControl(code, in, in_size, out, out_size, returned);
}

struct Rig {
    explicit Rig(std::string_view json) : world(clock, ScenarioFrom(json)) {}

    std::unique_ptr<HidDevice> OpenBootLoader(std::size_t index = 0) {
        const auto path = world.bus().InterfacePath(index);
        return path ? world.bus().Open(*path) : nullptr;
    }
    // Report ID 0, the command, the address little-endian, the length; data zero.
    static Report Command(std::uint8_t command, std::uint32_t address = 0,
                          std::uint8_t length = 0) {
        return {0x00,
                command,
                static_cast<std::uint8_t>(address),
                static_cast<std::uint8_t>(address >> 8),
                static_cast<std::uint8_t>(address >> 16),
                static_cast<std::uint8_t>(address >> 24),
                length};
    }
    static Report Program(std::uint32_t address, std::span<const std::uint8_t> data) {
        Report report = Command(kProgram, address, static_cast<std::uint8_t>(data.size()));
        std::copy(data.begin(), data.end(), report.begin() + 7);
        return report;
    }
    Transfer Send(HidDevice& device, const Report& report) { return device.Write(report, 1000); }
    std::optional<Report> ReadAt(HidDevice& device, std::uint32_t address,
                                 std::uint8_t length = 58) {
        Send(device, Command(kRead, address, length));
        Report reply{};
        if (device.Read(reply, 50) != Transfer::kCompleted) return std::nullopt;
        return reply;
    }
    // What the updater does with an image, without the updater: erase, program the whole
    // application area, optionally end the programming, reset.
    void Flash(HidDevice& device, const std::array<std::uint8_t, 0x6000>& image, bool end = true) {
        Send(device, Command(kErase));
        for (std::uint32_t address = 0x1100; address < 0x6000; address += 58) {
            const std::size_t length = std::min<std::uint32_t>(58, 0x6000 - address);
            Send(device, Program(address, std::span(image).subspan(address, length)));
        }
        if (end) Send(device, Command(kProgramEnd, 0x5FD8, 40));
        Send(device, Command(kReset));
    }
    std::optional<std::uint16_t> AppVersion(int index = 0) {
        auto device = world.driver().Open("\\\\.\\QvtUsb2Device" + std::to_string(index));
        if (!device) return std::nullopt;
        std::array<std::uint8_t, 2> out{};
        if (!Call(*device, kGetVersion, nullptr, 0, out.data(), 2)) return 0xDEAD;
        return static_cast<std::uint16_t>(out[0] | (out[1] << 8));
    }
    void RequestBoot(int index = 0) {
        auto device = world.driver().Open("\\\\.\\QvtUsb2Device" + std::to_string(index));
        ASSERT_TRUE(device);
        const std::uint8_t word[2] = {0x55, 0x02};
        Call(*device, kCommand, word, 2, nullptr, 0);
    }

    VirtualClock clock;
    SimulatedWorld world;
};

}  // namespace qvt::sim::rig
