#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace qvt {

// Layout of the image resource: a 16-byte header (version word, product tag), the scrambled
// program area for flash addresses 0x0000-0x5FFF, and a scrambled 256-byte trailer.
inline constexpr std::size_t kFlashSize = 0x6000;
inline constexpr std::size_t kImageHeaderSize = 16;
inline constexpr std::size_t kProgramAreaSize = kFlashSize;
inline constexpr std::size_t kTrailerSize = 0x100;
inline constexpr std::size_t kImageResourceSize =
    kImageHeaderSize + kProgramAreaSize + kTrailerSize;
static_assert(kImageResourceSize == 24848);

inline constexpr int kImageResourceId = 201;
inline constexpr int kImageDigestResourceId = 202;

using DescrambleTable = std::array<std::uint32_t, 256>;

// The resource's first 16 bytes as they come: the image version word (little-endian), then
// the product tag. Never descrambled; every byte of it takes part in the descrambling's seed.
struct ImageHeader {
    std::span<const std::uint8_t, kImageHeaderSize> bytes;
};

struct FirmwareImage {
    std::array<std::uint8_t, kProgramAreaSize> program{};  // indexed by flash address
    std::array<std::uint8_t, kTrailerSize> trailer{};
};

}  // namespace qvt
