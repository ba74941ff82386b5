// The release step: the image maker that turns a plain image into the scrambled resource.
#include <gtest/gtest.h>

#include "embedded_image.h"
#include "product_table.h"
#include "scramble.h"
#include "synthetic_firmware.h"

namespace qvt {
namespace {

TEST(ImageMaker, RefusesATableThatIsNotAPermutation) {
    std::array<std::uint8_t, 256> table{};
    for (std::size_t i = 0; i < 256; ++i) table[i] = static_cast<std::uint8_t>(255 - i);
    EXPECT_TRUE(tools::CheckTable(table));
    table[10] = table[20];
    const auto usable = tools::CheckTable(table);
    ASSERT_FALSE(usable);
    EXPECT_NE(usable.error().find("not a permutation"), std::string::npos);
    EXPECT_FALSE(tools::CheckTable(std::span<const std::uint8_t>(table.data(), 255)));
}

TEST(ImageMaker, ReproducesTheShippedResourceFromThePlainImage) {
    EmbeddedImageResource shipped;
    const auto bytes = shipped.Load();
    ASSERT_TRUE(bytes.has_value());
    const auto plain = sim::SynthesizeFirmware(0x0310);
    std::vector<std::uint8_t> plain_bytes(plain.program.begin(), plain.program.end());
    plain_bytes.insert(plain_bytes.end(), plain.trailer.begin(), plain.trailer.end());
    std::array<std::uint8_t, 256> table{};
    for (std::size_t i = 0; i < 256; ++i)
        table[i] = static_cast<std::uint8_t>(ProductDescrambleTable()[i]);
    std::array<std::uint8_t, tools::kProductTagSize> tag{};
    std::copy_n(bytes->begin() + 2, tag.size(), tag.begin());
    const auto made = tools::ScrambleImage(std::span<const std::uint8_t, tools::kPlainImageSize>(
                                               plain_bytes.data(), plain_bytes.size()),
                                           0x0310, tag, table);
    EXPECT_TRUE(std::equal(made.begin(), made.end(), bytes->begin(), bytes->end()));
}

}  // namespace
}  // namespace qvt
