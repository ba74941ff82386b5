#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace qvt {

// The raw bytes of the firmware image resource (RCDATA 201) of the running program, and the
// SHA-256 of the plain image that the release step stored beside it (RCDATA 202).
class ImageResource {
  public:
    virtual ~ImageResource() = default;
    // Nullopt when the resource is missing or cannot be loaded or locked. The bytes stay valid
    // for the life of the port.
    virtual std::optional<std::span<const std::uint8_t>> Load() = 0;
    virtual std::optional<std::span<const std::uint8_t>> LoadDigest() = 0;
};

}  // namespace qvt
