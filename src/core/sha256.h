#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace qvt {

using Sha256Digest = std::array<std::uint8_t, 32>;

// SHA-256 (FIPS 180-4) of a whole buffer. The core stays free of libraries, and the image it
// checks is small.
Sha256Digest Sha256(std::span<const std::uint8_t> bytes);

}  // namespace qvt
