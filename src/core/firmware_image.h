#pragma once

#include <array>
#include <cstdint>

#include "firmware_layout.h"
#include "image_resource.h"
#include "window.h"

namespace qvt {

// Loads the scrambled image resource and decodes it into the window's FirmwareImage.
class FirmwareImageLoader {
  public:
    FirmwareImageLoader(ImageResource& resource, const DescrambleTable& table)
        : resource_(resource), table_(table) {}

    // True when the resource was found, had exactly the image's size, and was decoded into
    // window.firmware. On false both buffers are zero (image version 0) and the window's image
    // is left as it was. Shows nothing itself.
    bool LoadFirmwareImage(Window& window);

    // Decodes the raw buffer into the decode buffer: offsets 16 on, header untouched.
    void DescrambleImage();

    // Little-endian word at the start of the raw resource; 0 before a successful load.
    std::uint16_t ImageVersion() const;

    const std::array<std::uint8_t, kImageResourceSize>& raw() const { return raw_; }
    const std::array<std::uint8_t, kImageResourceSize>& decoded() const { return decode_; }

  private:
    ImageResource& resource_;
    const DescrambleTable& table_;
    std::array<std::uint8_t, kImageResourceSize> raw_{};
    std::array<std::uint8_t, kImageResourceSize> decode_{};
};

}  // namespace qvt
