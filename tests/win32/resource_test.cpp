// Resource 201 read back from this test program's own module.
#include <gtest/gtest.h>

#include "embedded_image.h"
#include "firmware_image.h"
#include "product_table.h"
#include "synthetic_firmware.h"
#include "win_image_resource.h"

namespace qvt::win32 {
namespace {

TEST(WinImageResource, ReadsRcdata201FromTheOwnModule) {
    WinImageResource resource;
    const auto bytes = resource.Load();
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(bytes->size(), 24848u);
    EmbeddedImageResource embedded;
    const auto same = embedded.Load();
    ASSERT_TRUE(same.has_value());
    EXPECT_TRUE(std::equal(bytes->begin(), bytes->end(), same->begin(), same->end()));
}

TEST(WinImageResource, DecodesToVersion310AndTheReleasedImage) {
    WinImageResource resource;
    FirmwareImage image;
    FirmwareImageLoader loader(resource, ProductDescrambleTable(), image);
    ASSERT_TRUE(loader.LoadFirmwareImage());
    EXPECT_EQ(loader.ImageVersion(), 0x0310);
    EXPECT_EQ(image.program, sim::SynthesizeFirmware(0x0310).program);
}

TEST(WinImageResource, ReadsTheDigestFromRcdata202) {
    WinImageResource resource;
    const auto digest = resource.LoadDigest();
    ASSERT_TRUE(digest.has_value());
    EmbeddedImageResource embedded;
    const auto same = embedded.LoadDigest();
    ASSERT_TRUE(same.has_value());
    EXPECT_EQ(digest->size(), 32u);
    EXPECT_TRUE(std::equal(digest->begin(), digest->end(), same->begin(), same->end()));
}

TEST(WinImageResource, AModuleWithoutTheResourceLoadsNothing) {
    WinImageResource resource(GetModuleHandleW(L"kernel32.dll"));
    EXPECT_FALSE(resource.Load().has_value());
    EXPECT_FALSE(resource.LoadDigest().has_value());
}

}  // namespace
}  // namespace qvt::win32
