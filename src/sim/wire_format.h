#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// The QVT-40 R3 as the device sees its wires: what its boot loader and the maker's driver
// accept, written from the protocol's tables. Deliberately not shared with the updater, so
// that an updater that encodes a report wrongly meets a device that decodes it rightly.
namespace qvt::sim::wire {

// Boot-loader HID reports: report ID 0, command, 32-bit little-endian address, length, data.
inline constexpr std::size_t kReportBytes = 65;
inline constexpr std::size_t kIdAt = 0;
inline constexpr std::size_t kCommandAt = 1;
inline constexpr std::size_t kAddressAt = 2;
inline constexpr std::size_t kLengthAt = 6;
inline constexpr std::size_t kDataAt = 7;
inline constexpr std::size_t kDataBytes = 58;

inline constexpr std::uint8_t kErase = 4;
inline constexpr std::uint8_t kProgram = 5;
inline constexpr std::uint8_t kProgramEnd = 6;
inline constexpr std::uint8_t kRead = 7;
inline constexpr std::uint8_t kReset = 8;

inline constexpr std::uint16_t kVendorId = 0x1232;
inline constexpr std::uint16_t kProductId = 0x0103;

// The flash: the boot loader below 0x1100 guards itself; the application area is the rest.
inline constexpr std::uint32_t kFlashBytes = 0x6000;
inline constexpr std::uint32_t kApplicationStart = 0x1100;

// The maker's application-mode driver: device objects "\\.\QvtUsb2Device0" to "...8".
inline constexpr std::string_view kDeviceNamePrefix = "\\\\.\\QvtUsb2Device";
inline constexpr int kDeviceObjects = 9;
inline constexpr std::uint32_t kGetVersion = 0x00222048;  // out: 2 bytes, the version word
inline constexpr std::uint32_t kCommand = 0x0022205C;     // in: 2 bytes, the command word
inline constexpr std::uint16_t kBootModeWord = 0x0255;

inline std::uint32_t Address(std::span<const std::uint8_t> report) {
    return static_cast<std::uint32_t>(report[kAddressAt]) |
           static_cast<std::uint32_t>(report[kAddressAt + 1]) << 8 |
           static_cast<std::uint32_t>(report[kAddressAt + 2]) << 16 |
           static_cast<std::uint32_t>(report[kAddressAt + 3]) << 24;
}

}  // namespace qvt::sim::wire
