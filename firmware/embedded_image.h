#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "image_resource.h"

namespace qvt {

// The image resource and its digest linked into the program as bytes, on platforms without
// resources.
// Can: give the same bytes as RCDATA 201 and 202, generated from the same files at build time.
// Cannot: be missing or unreadable, as a resource can; tests that need that use their own.
class EmbeddedImageResource final : public ImageResource {
  public:
    std::optional<std::span<const std::uint8_t>> Load() override;
    std::optional<std::span<const std::uint8_t>> LoadDigest() override;
};

}  // namespace qvt
