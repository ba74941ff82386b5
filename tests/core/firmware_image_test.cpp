#include "firmware_image.h"

#include <gtest/gtest.h>

#include <numeric>

#include "embedded_image.h"
#include "fakes.h"
#include "product_table.h"
#include "scramble.h"
#include "synthetic_firmware.h"

namespace qvt {
namespace {

using testing::BytesResource;

DescrambleTable AsTable(std::span<const std::uint8_t, 256> bytes) {
    DescrambleTable table{};
    for (std::size_t i = 0; i < 256; ++i) table[i] = bytes[i];
    return table;
}

std::array<std::uint8_t, 256> ReversedTable() {
    std::array<std::uint8_t, 256> table{};
    for (std::size_t i = 0; i < 256; ++i) table[i] = static_cast<std::uint8_t>(255 - i);
    return table;
}

std::vector<std::uint8_t> Plain(std::uint8_t fill) {
    return std::vector<std::uint8_t>(tools::kPlainImageSize, fill);
}

struct Loaded {
    Loaded(std::optional<std::vector<std::uint8_t>> bytes, const DescrambleTable& table,
           std::optional<std::vector<std::uint8_t>> digest = std::nullopt)
        : table(table),
          resource(std::move(bytes), std::move(digest)),
          loader(resource, this->table, image) {}
    DescrambleTable table;  // the loader keeps a reference to it
    BytesResource resource;
    FirmwareImage image;
    FirmwareImageLoader loader;
};

TEST(FirmwareImage, ShippedResourceDecodesToTheReleasedPlainImage) {
    EmbeddedImageResource resource;
    FirmwareImage image;
    FirmwareImageLoader loader(resource, ProductDescrambleTable(), image);
    ASSERT_TRUE(loader.LoadFirmwareImage());
    EXPECT_EQ(loader.ImageVersion(), 0x0310);
    const auto plain = sim::SynthesizeFirmware(0x0310);
    EXPECT_EQ(image.program, plain.program);
    EXPECT_EQ(image.trailer, plain.trailer);
    // The header is not decoded: offsets 0-15 of the decode buffer stay zero.
    for (std::size_t k = 0; k < kImageHeaderSize; ++k) EXPECT_EQ(loader.decoded()[k], 0) << k;
}

TEST(FirmwareImage, RoundTripsThroughTheImageMakerForAnyPlainBytes) {
    const auto table_bytes = ReversedTable();
    const DescrambleTable table = AsTable(table_bytes);
    // Header bytes above 0x7F count negative in the header sum; all-0x00 and all-0xFF plains wrap
    // in both directions.
    const std::array<std::uint8_t, tools::kProductTagSize> tag{0xFF, 0x80, 0x7F, 0x01, 0xEE};
    for (std::uint8_t fill : {0x00, 0xFF, 0x5A}) {
        std::vector<std::uint8_t> plain = Plain(fill);
        for (std::size_t i = 0; i < plain.size(); i += 7) plain[i] = static_cast<std::uint8_t>(i);
        auto resource = tools::ScrambleImage(
            std::span<const std::uint8_t, tools::kPlainImageSize>(plain.data(), plain.size()),
            0xF3A1, tag, table_bytes);
        Loaded loaded(resource, table, BytesResource::DigestOf(plain));
        ASSERT_TRUE(loaded.loader.LoadFirmwareImage());
        EXPECT_EQ(loaded.loader.ImageVersion(), 0xF3A1);
        EXPECT_TRUE(std::equal(plain.begin(), plain.begin() + kProgramAreaSize,
                               loaded.image.program.begin()));
        EXPECT_TRUE(std::equal(plain.begin() + kProgramAreaSize, plain.end(),
                               loaded.image.trailer.begin()));
    }
}

TEST(FirmwareImage, DecodesByTheTableOffsetAndSignedHeaderSum) {
    std::vector<std::uint8_t> raw(kImageResourceSize, 0);
    raw[0] = 0x10;
    raw[1] = 0x03;
    raw[2] = 0xF0;  // -16 as a signed byte: seed = 16 + 3 - 16 = 3
    const auto table_bytes = ReversedTable();
    // T[raw] = 255 - raw. Pick raw so that T[raw] == (k + seed) mod 256: decodes to 0x00.
    const std::size_t k = 300;
    raw[k] = static_cast<std::uint8_t>(255 - ((k + 3) & 0xFF));
    // One below that decodes to 0xFF: the subtraction wraps under zero.
    raw[k + 1] = static_cast<std::uint8_t>(255 - ((k + 1 + 3 - 1) & 0xFF));
    // The plain image these bytes stand for, worked out here from the rule itself.
    std::vector<std::uint8_t> plain;
    for (std::size_t i = kImageHeaderSize; i < raw.size(); ++i) {
        plain.push_back(static_cast<std::uint8_t>(table_bytes[raw[i]] - i - 3));
    }
    Loaded loaded(raw, AsTable(table_bytes), BytesResource::DigestOf(plain));
    ASSERT_TRUE(loaded.loader.LoadFirmwareImage());
    EXPECT_EQ(loaded.loader.decoded()[k], 0x00);
    EXPECT_EQ(loaded.loader.decoded()[k + 1], 0xFF);
    // A zero byte at offset 16: T[0] = 255, minus 16 and 3.
    EXPECT_EQ(loaded.loader.decoded()[16], 255 - 16 - 3);
    EXPECT_EQ(loaded.image.program[k - 16], 0x00);
}

TEST(FirmwareImage, TwoLoadsGiveIdenticalResults) {
    EmbeddedImageResource resource;
    FirmwareImage image;
    FirmwareImageLoader loader(resource, ProductDescrambleTable(), image);
    ASSERT_TRUE(loader.LoadFirmwareImage());
    const auto first_raw = loader.raw();
    const auto first_decoded = loader.decoded();
    const FirmwareImage first_image = image;
    loader.FillFirmwareImage();
    ASSERT_TRUE(loader.LoadFirmwareImage());
    EXPECT_EQ(loader.raw(), first_raw);
    EXPECT_EQ(loader.decoded(), first_decoded);
    EXPECT_EQ(image.program, first_image.program);
    EXPECT_EQ(image.trailer, first_image.trailer);
}

// A damaged resource still descrambles; only its digest tells. Whatever is damaged, the load
// fails like a missing resource and the image the unit would receive is left as it was.
TEST(FirmwareImage, AResourceThatDoesNotMatchItsDigestIsRefused) {
    EmbeddedImageResource shipped;
    const auto bytes = shipped.Load();
    const auto digest = shipped.LoadDigest();
    ASSERT_TRUE(bytes && digest);
    const std::vector<std::uint8_t> good(bytes->begin(), bytes->end());
    const std::vector<std::uint8_t> good_digest(digest->begin(), digest->end());
    auto flipped = [&](std::size_t at) {
        auto copy = good;
        copy[at] ^= 0x01;
        return copy;
    };
    const std::pair<std::optional<std::vector<std::uint8_t>>,
                    std::optional<std::vector<std::uint8_t>>>
        cases[] = {
            {flipped(16), good_digest},                         // first program byte
            {flipped(kImageHeaderSize + 0x3000), good_digest},  // the application area
            {flipped(kImageResourceSize - 1), good_digest},     // the trailer's last byte
            {flipped(2), good_digest},                          // the tag: it moves the header sum
            {good, std::nullopt},                               // no digest resource
            {good, std::vector<std::uint8_t>(good_digest.begin(), good_digest.begin() + 31)},
        };
    for (const auto& [resource, with_digest] : cases) {
        Loaded loaded(resource, ProductDescrambleTable(), with_digest);
        loaded.image.program.fill(0xA5);
        EXPECT_FALSE(loaded.loader.LoadFirmwareImage());
        EXPECT_EQ(loaded.loader.ImageVersion(), 0);
        EXPECT_TRUE(std::all_of(loaded.loader.decoded().begin(), loaded.loader.decoded().end(),
                                [](std::uint8_t b) { return b == 0; }));
        EXPECT_TRUE(std::all_of(loaded.image.program.begin(), loaded.image.program.end(),
                                [](std::uint8_t b) { return b == 0xA5; }));
    }
    Loaded intact(good, ProductDescrambleTable(), good_digest);
    EXPECT_TRUE(intact.loader.LoadFirmwareImage());
}

class RefusedResource : public ::testing::TestWithParam<std::optional<std::size_t>> {};

TEST_P(RefusedResource, LeavesBuffersZeroAndTheImageAsItWas) {
    const auto size = GetParam();
    std::optional<std::vector<std::uint8_t>> bytes;
    if (size) bytes = std::vector<std::uint8_t>(*size, 0x33);
    Loaded loaded(bytes, ProductDescrambleTable());
    loaded.image.program.fill(0xA5);
    EXPECT_FALSE(loaded.loader.LoadFirmwareImage());
    EXPECT_EQ(loaded.loader.ImageVersion(), 0);
    EXPECT_TRUE(std::all_of(loaded.loader.raw().begin(), loaded.loader.raw().end(),
                            [](std::uint8_t b) { return b == 0; }));
    EXPECT_TRUE(std::all_of(loaded.loader.decoded().begin(), loaded.loader.decoded().end(),
                            [](std::uint8_t b) { return b == 0; }));
    EXPECT_TRUE(std::all_of(loaded.image.program.begin(), loaded.image.program.end(),
                            [](std::uint8_t b) { return b == 0xA5; }));
}

INSTANTIATE_TEST_SUITE_P(MissingShortOrLong, RefusedResource,
                         ::testing::Values(std::nullopt, std::optional<std::size_t>(0),
                                           std::optional<std::size_t>(kImageResourceSize - 1),
                                           std::optional<std::size_t>(kImageResourceSize + 1),
                                           std::optional<std::size_t>(2 * kImageResourceSize)));

TEST(FirmwareImage, AFailedLoadAfterAGoodOneResetsTheVersionToZero) {
    EmbeddedImageResource shipped;
    const auto bytes = shipped.Load();
    const auto digest = shipped.LoadDigest();
    ASSERT_TRUE(bytes && digest);
    BytesResource resource(std::vector<std::uint8_t>(bytes->begin(), bytes->end()),
                           std::vector<std::uint8_t>(digest->begin(), digest->end()));
    FirmwareImage image;
    FirmwareImageLoader loader(resource, ProductDescrambleTable(), image);
    EXPECT_EQ(loader.ImageVersion(), 0);  // zero before any load
    ASSERT_TRUE(loader.LoadFirmwareImage());
    ASSERT_EQ(loader.ImageVersion(), 0x0310);
    const FirmwareImage good = image;

    resource.Replace(std::nullopt);
    EXPECT_FALSE(loader.LoadFirmwareImage());
    EXPECT_EQ(loader.ImageVersion(), 0);
    EXPECT_TRUE(std::all_of(loader.raw().begin(), loader.raw().end(),
                            [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(image.program, good.program);  // the image itself is left as it was
}

}  // namespace
}  // namespace qvt
