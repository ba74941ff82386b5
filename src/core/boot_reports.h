#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "firmware_layout.h"
#include "hid_bus.h"

namespace qvt {

// The boot loader's command codes, by the names the protocol has always given them.
enum BootCommand : std::uint8_t {
    BOOT_CMD_ERASE = 4,
    BOOT_CMD_PROGRAM = 5,
    BOOT_CMD_PROGRAM_END = 6,
    BOOT_CMD_READ = 7,
    BOOT_CMD_RESET = 8,
};

inline constexpr std::uint32_t kFlashFirstAddress = 0x1100;
inline constexpr std::uint32_t kFlashEndAddress = kFlashSize;  // exclusive
inline constexpr std::size_t kChunkSize = 58;
inline constexpr std::size_t kReportDataOffset = 7;

// Output report: report ID, command, 32-bit little-endian address, length, 58 data bytes.
struct BootCommandReport {
    std::array<std::uint8_t, kReportSize> bytes{};

    BootCommand command() const { return static_cast<BootCommand>(bytes[1]); }
    void set_command(BootCommand command) { bytes[1] = static_cast<std::uint8_t>(command); }
    std::uint32_t address() const {
        return bytes[2] | (bytes[3] << 8) | (bytes[4] << 16) | (std::uint32_t{bytes[5]} << 24);
    }
    void set_address(std::uint32_t address) {
        for (int i = 0; i < 4; ++i) bytes[2 + i] = static_cast<std::uint8_t>(address >> (8 * i));
    }
    std::uint8_t length() const { return bytes[6]; }
    void set_length(std::uint8_t length) { bytes[6] = length; }
    std::span<std::uint8_t, kChunkSize> data() {
        return std::span<std::uint8_t, kReportSize>(bytes).subspan<kReportDataOffset, kChunkSize>();
    }
    std::span<const std::uint8_t, kChunkSize> data() const {
        return std::span<const std::uint8_t, kReportSize>(bytes)
            .subspan<kReportDataOffset, kChunkSize>();
    }
};

// Input report answering a read: byte 7 + i is the flash byte at the requested address + i.
struct BootReplyReport {
    std::array<std::uint8_t, kReportSize> bytes{};

    std::span<const std::uint8_t, kChunkSize> data() const {
        return std::span<const std::uint8_t, kReportSize>(bytes)
            .subspan<kReportDataOffset, kChunkSize>();
    }
};

}  // namespace qvt
