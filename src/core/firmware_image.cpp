#include "firmware_image.h"

#include <algorithm>

#include "sha256.h"
#include "version_text.h"

namespace qvt {

bool FirmwareImageLoader::LoadFirmwareImage() {
    raw_.fill(0);
    decode_.fill(0);
    const auto bytes = resource_.Load();
    if (!bytes) return false;
    // A resource of any other size is not our image: decoding a zero tail (or a truncated
    // one) would program garbage into the unit.
    if (bytes->size() != kImageResourceSize) return false;
    std::copy(bytes->begin(), bytes->end(), raw_.begin());
    DescrambleImage();
    // A damaged resource still descrambles, into bytes the unit must never receive.
    const auto digest = resource_.LoadDigest();
    const Sha256Digest found = Sha256(std::span(decode_).subspan(kImageHeaderSize));
    if (!digest || !std::equal(digest->begin(), digest->end(), found.begin(), found.end())) {
        raw_.fill(0);
        decode_.fill(0);
        return false;
    }
    const auto program_begin = decode_.begin() + kImageHeaderSize;
    std::copy_n(program_begin, kProgramAreaSize, image_.program.begin());
    std::copy_n(program_begin + kProgramAreaSize, kTrailerSize, image_.trailer.begin());
    return true;
}

void FirmwareImageLoader::FillFirmwareImage() {
    image_.program.fill(0xFF);
    image_.trailer.fill(0xFF);
}

void FirmwareImageLoader::DescrambleImage() {
    const auto header = Header().bytes;
    std::int32_t seed = 0;
    for (std::size_t i = 0; i < kImageHeaderSize; ++i) seed += static_cast<std::int8_t>(header[i]);
    for (std::size_t k = kImageHeaderSize; k < kImageResourceSize; ++k) {
        const std::uint32_t value =
            table_[raw_[k]] - static_cast<std::uint32_t>(k) - static_cast<std::uint32_t>(seed);
        decode_[k] = static_cast<std::uint8_t>(value & 0xFF);
    }
}

std::uint16_t FirmwareImageLoader::ImageVersion() const {
    const ImageHeader header = Header();
    return VersionWord(header.bytes[0], header.bytes[1]);
}

}  // namespace qvt
