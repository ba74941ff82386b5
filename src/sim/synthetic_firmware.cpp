#include "synthetic_firmware.h"

#include <cstdio>
#include <cstring>

namespace qvt::sim {
namespace {

class Xorshift {
  public:
    explicit Xorshift(std::uint32_t seed) : state_(seed ? seed : 0x9E3779B9u) {}
    std::uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    std::uint8_t Byte() { return static_cast<std::uint8_t>(Next() >> 11); }

  private:
    std::uint32_t state_;
};

// Opcodes of a small 8-bit controller with their operand counts, so that the image has the
// skewed byte statistics of real code rather than uniform noise.
struct Opcode {
    std::uint8_t code;
    int operands;
};
constexpr Opcode kOpcodes[] = {
    {0x74, 1}, {0xE5, 1}, {0xF5, 1}, {0x90, 2}, {0xE0, 0}, {0xF0, 0}, {0xA3, 0}, {0x12, 2},
    {0x22, 0}, {0x80, 1}, {0x60, 1}, {0x70, 1}, {0xB4, 2}, {0x02, 2}, {0xC0, 1}, {0xD0, 1},
    {0x75, 2}, {0x85, 2}, {0x24, 1}, {0x34, 1}, {0x54, 1}, {0x44, 1}, {0xFF, 0}, {0xEF, 0},
};

void FillCode(std::span<std::uint8_t> out, Xorshift& random) {
    std::size_t i = 0;
    while (i < out.size()) {
        const Opcode& op = kOpcodes[random.Next() % std::size(kOpcodes)];
        out[i++] = op.code;
        for (int k = 0; k < op.operands && i < out.size(); ++k) out[i++] = random.Byte();
    }
}

}  // namespace

std::uint16_t Crc16(std::span<const std::uint8_t> bytes, std::uint16_t crc) {
    for (std::uint8_t byte : bytes) {
        crc ^= static_cast<std::uint16_t>(byte << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
        }
    }
    return crc;
}

PlainImage SynthesizeFirmware(std::uint16_t version) {
    PlainImage image;
    image.program.fill(0xFF);

    Xorshift boot_random(0xB007u);  // the boot loader is the same in every release
    FillCode(std::span(image.program).first(kAppHeaderAddress), boot_random);

    // Later releases are a little larger; the rest of the area stays erased padding.
    const std::size_t code_end = 0x5A00 + (version & 0xFF) * 4;
    Xorshift app_random(0xC0DE0000u | version);
    FillCode(std::span(image.program).subspan(kAppBodyAddress, code_end - kAppBodyAddress),
             app_random);

    auto* header = image.program.data() + kAppHeaderAddress;
    std::memcpy(header, kAppMagic.data(), kAppMagic.size());
    header[4] = static_cast<std::uint8_t>(version & 0xFF);
    header[5] = static_cast<std::uint8_t>(version >> 8);
    const auto code_length = static_cast<std::uint16_t>(code_end - kAppBodyAddress);
    header[6] = static_cast<std::uint8_t>(code_length & 0xFF);
    header[7] = static_cast<std::uint8_t>(code_length >> 8);
    for (int i = 10; i < 16; ++i) header[i] = 0;
    const std::uint16_t crc = ApplicationChecksum(image.program);
    header[8] = static_cast<std::uint8_t>(crc & 0xFF);
    header[9] = static_cast<std::uint8_t>(crc >> 8);

    image.trailer.fill(0xFF);
    char text[64];
    const int length = std::snprintf(text, sizeof text, "QVT-40 R3 application %X.%02X",
                                     version >> 8, version & 0xFF);
    std::memcpy(image.trailer.data(), text, static_cast<std::size_t>(length));
    image.trailer[0xFC] = static_cast<std::uint8_t>(crc & 0xFF);
    image.trailer[0xFD] = static_cast<std::uint8_t>(crc >> 8);
    return image;
}

std::uint16_t ApplicationChecksum(std::span<const std::uint8_t, kProgramAreaSize> flash) {
    const std::uint16_t head =
        Crc16(flash.subspan(kAppHeaderAddress, kAppChecksumAddress - kAppHeaderAddress));
    return Crc16(flash.subspan(kAppChecksumAddress + 2), head);
}

std::optional<std::uint16_t> ValidApplicationVersion(
    std::span<const std::uint8_t, kProgramAreaSize> flash) {
    const auto* header = flash.data() + kAppHeaderAddress;
    if (std::memcmp(header, kAppMagic.data(), kAppMagic.size()) != 0) return std::nullopt;
    const auto stored = static_cast<std::uint16_t>(header[8] | (header[9] << 8));
    if (ApplicationChecksum(flash) != stored) return std::nullopt;
    return static_cast<std::uint16_t>(header[4] | (header[5] << 8));
}

}  // namespace qvt::sim
