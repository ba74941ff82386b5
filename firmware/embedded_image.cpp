#include "embedded_image.h"

#include <cstddef>

extern const std::uint8_t qvt_image_bytes[];
extern const std::size_t qvt_image_bytes_size;
extern const std::uint8_t qvt_digest_bytes[];
extern const std::size_t qvt_digest_bytes_size;

namespace qvt {

std::optional<std::span<const std::uint8_t>> EmbeddedImageResource::Load() {
    return std::span<const std::uint8_t>(qvt_image_bytes, qvt_image_bytes_size);
}

std::optional<std::span<const std::uint8_t>> EmbeddedImageResource::LoadDigest() {
    return std::span<const std::uint8_t>(qvt_digest_bytes, qvt_digest_bytes_size);
}

}  // namespace qvt
