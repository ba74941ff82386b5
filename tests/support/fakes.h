#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "image_resource.h"
#include "sha256.h"

namespace qvt::testing {

// An image resource and digest with whatever bytes a test gives them; nullopt stands for a
// missing one.
class BytesResource final : public ImageResource {
  public:
    explicit BytesResource(std::optional<std::vector<std::uint8_t>> bytes,
                           std::optional<std::vector<std::uint8_t>> digest = std::nullopt)
        : bytes_(std::move(bytes)), digest_(std::move(digest)) {}

    std::optional<std::span<const std::uint8_t>> Load() override { return View(bytes_); }
    std::optional<std::span<const std::uint8_t>> LoadDigest() override { return View(digest_); }
    // What the next load finds, as if the program's resource had changed underneath.
    void Replace(std::optional<std::vector<std::uint8_t>> bytes) { bytes_ = std::move(bytes); }

    static std::vector<std::uint8_t> DigestOf(std::span<const std::uint8_t> plain) {
        const auto digest = Sha256(plain);
        return {digest.begin(), digest.end()};
    }

  private:
    static std::optional<std::span<const std::uint8_t>> View(
        const std::optional<std::vector<std::uint8_t>>& bytes) {
        if (!bytes) return std::nullopt;
        return std::span<const std::uint8_t>(*bytes);
    }

    std::optional<std::vector<std::uint8_t>> bytes_;
    std::optional<std::vector<std::uint8_t>> digest_;
};

}  // namespace qvt::testing
