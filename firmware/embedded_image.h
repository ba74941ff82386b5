#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "image_resource.h"

namespace qvt {

// The image resource and its digest linked into the program as bytes, on platforms without
// resources.
class EmbeddedImageResource final : public ImageResource {
  public:
    std::optional<std::span<const std::uint8_t>> Load() override;
    std::optional<std::span<const std::uint8_t>> LoadDigest() override;
};

}  // namespace qvt
