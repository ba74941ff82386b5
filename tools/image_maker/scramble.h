#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "firmware_layout.h"
#include "result.h"

namespace qvt::tools {

inline constexpr std::size_t kPlainImageSize = kProgramAreaSize + kTrailerSize;
inline constexpr std::size_t kProductTagSize = kImageHeaderSize - 2;

// Whether the bytes are a usable descrambling table, and why not.
Result<void> CheckTable(std::span<const std::uint8_t> table);

// The release step: scrambled byte k = T^-1[(plain + k + seed) mod 256], where k is the offset
// in the whole resource and seed the signed-byte sum of the 16 header bytes.
std::vector<std::uint8_t> ScrambleImage(std::span<const std::uint8_t, kPlainImageSize> plain,
                                        std::uint16_t version,
                                        std::span<const std::uint8_t, kProductTagSize> tag,
                                        std::span<const std::uint8_t, 256> table);

}  // namespace qvt::tools
