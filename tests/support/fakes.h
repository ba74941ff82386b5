#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "image_resource.h"

namespace qvt::testing {

// An image resource with whatever bytes a test gives it; nullopt stands for a missing one.
class BytesResource final : public ImageResource {
  public:
    explicit BytesResource(std::optional<std::vector<std::uint8_t>> bytes)
        : bytes_(std::move(bytes)) {}
    std::optional<std::span<const std::uint8_t>> Load() override {
        if (!bytes_) return std::nullopt;
        return std::span<const std::uint8_t>(*bytes_);
    }
    // What the next load finds, as if the program's resource had changed underneath.
    void Replace(std::optional<std::vector<std::uint8_t>> bytes) { bytes_ = std::move(bytes); }

  private:
    std::optional<std::vector<std::uint8_t>> bytes_;
};

}  // namespace qvt::testing
