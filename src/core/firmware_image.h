#pragma once

#include <array>
#include <cstdint>

#include "firmware_layout.h"
#include "image_resource.h"

namespace qvt {

// Loads the scrambled image resource and decodes it into the program's FirmwareImage.
class FirmwareImageLoader {
  public:
    FirmwareImageLoader(ImageResource& resource, const DescrambleTable& table, FirmwareImage& image)
        : resource_(resource), table_(table), image_(image) {}

    // True when the resource was found, had exactly the image's size, and decoded into the
    // FirmwareImage to bytes whose SHA-256 is the one stored beside it. On false both buffers
    // are zero (image version 0) and the FirmwareImage is left as it was. Shows nothing itself.
    bool LoadFirmwareImage();

    // Fills the FirmwareImage with 0xFF, erased flash, ahead of a reload.
    void FillFirmwareImage();

    // Decodes the raw buffer into the decode buffer: offsets 16 on, header untouched.
    void DescrambleImage();

    // The raw resource's header, all zero before a successful load.
    ImageHeader Header() const { return {std::span(raw_).first<kImageHeaderSize>()}; }
    // The header's version word; 0 before a successful load.
    std::uint16_t ImageVersion() const;

    const std::array<std::uint8_t, kImageResourceSize>& raw() const { return raw_; }
    const std::array<std::uint8_t, kImageResourceSize>& decoded() const { return decode_; }

  private:
    ImageResource& resource_;
    const DescrambleTable& table_;
    FirmwareImage& image_;
    std::array<std::uint8_t, kImageResourceSize> raw_{};
    std::array<std::uint8_t, kImageResourceSize> decode_{};
};

}  // namespace qvt
