#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvt {

// Versions as the title writes them: "major.minor" in the hexadecimal digits of the version
// word, so 0x0310 is "3.10" and 0x030F is "3.0F".
std::string FormatVersion(std::uint16_t version);
// The version word as the image and the unit store it: two bytes, low byte first.
constexpr std::uint16_t VersionWord(std::uint8_t low, std::uint8_t high) {
    return static_cast<std::uint16_t>(low | (high << 8));
}
std::optional<std::uint16_t> ParseVersion(std::string_view text);

}  // namespace qvt
