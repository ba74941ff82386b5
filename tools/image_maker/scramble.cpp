#include "scramble.h"

#include <cstdio>

namespace qvt::tools {

Result<void> CheckTable(std::span<const std::uint8_t> table) {
    if (table.size() != 256) {
        return Result<void>::Failure("the table has " + std::to_string(table.size()) +
                                     " bytes; it needs exactly 256");
    }
    std::array<int, 256> seen_at{};
    seen_at.fill(-1);
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (seen_at[table[i]] >= 0) {
            char line[128];
            std::snprintf(
                line, sizeof line,
                "the table is not a permutation: value 0x%02X stands at entries %d and %zu",
                table[i], seen_at[table[i]], i);
            return Result<void>::Failure(line);
        }
        seen_at[table[i]] = static_cast<int>(i);
    }
    return {};
}

std::vector<std::uint8_t> ScrambleImage(std::span<const std::uint8_t, kPlainImageSize> plain,
                                        std::uint16_t version,
                                        std::span<const std::uint8_t, kProductTagSize> tag,
                                        std::span<const std::uint8_t, 256> table) {
    std::array<std::uint8_t, 256> inverse{};
    for (std::size_t i = 0; i < 256; ++i) inverse[table[i]] = static_cast<std::uint8_t>(i);

    std::vector<std::uint8_t> resource(kImageResourceSize);
    resource[0] = static_cast<std::uint8_t>(version & 0xFF);
    resource[1] = static_cast<std::uint8_t>(version >> 8);
    std::copy(tag.begin(), tag.end(), resource.begin() + 2);
    std::int32_t seed = 0;
    for (std::size_t i = 0; i < kImageHeaderSize; ++i)
        seed += static_cast<std::int8_t>(resource[i]);
    for (std::size_t k = kImageHeaderSize; k < kImageResourceSize; ++k) {
        const std::uint32_t sum = plain[k - kImageHeaderSize] + static_cast<std::uint32_t>(k) +
                                  static_cast<std::uint32_t>(seed);
        resource[k] = inverse[sum & 0xFF];
    }
    return resource;
}

}  // namespace qvt::tools
