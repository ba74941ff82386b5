#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "firmware_layout.h"

namespace qvt::sim {

// A plain firmware image as the maker's release step takes it: the program area for flash
// addresses 0x0000-0x5FFF followed by the 256-byte trailer.
struct PlainImage {
    std::array<std::uint8_t, kProgramAreaSize> program{};
    std::array<std::uint8_t, kTrailerSize> trailer{};
};

// The application header that our firmware carries at the start of the application area.
// A boot loader only starts an application whose magic and checksum are intact, and the
// application reports the version written here. The checksum covers the whole application
// area, header and version word included, all but the checksum word itself.
inline constexpr std::uint32_t kAppHeaderAddress = 0x1100;
inline constexpr std::uint32_t kAppVersionAddress = kAppHeaderAddress + 4;
inline constexpr std::uint32_t kAppChecksumAddress = kAppHeaderAddress + 8;
inline constexpr std::uint32_t kAppBodyAddress = kAppHeaderAddress + 16;
inline constexpr std::array<std::uint8_t, 4> kAppMagic{'Q', '4', '0', 'R'};

// Deterministic: the same version always gives the same bytes.
PlainImage SynthesizeFirmware(std::uint16_t version);

// The version of the application in this flash, or nullopt when none would start.
std::optional<std::uint16_t> ValidApplicationVersion(
    std::span<const std::uint8_t, kProgramAreaSize> flash);

// The checksum the header must carry for this flash's application area.
std::uint16_t ApplicationChecksum(std::span<const std::uint8_t, kProgramAreaSize> flash);

// CRC-16/CCITT-FALSE, continued from `crc`.
std::uint16_t Crc16(std::span<const std::uint8_t> bytes, std::uint16_t crc = 0xFFFF);

}  // namespace qvt::sim
