// Versions as the window title writes them.
#include "version_text.h"

#include <gtest/gtest.h>

namespace qvt {
namespace {

TEST(VersionText, WritesAndReadsTheTitlesHexadecimalDigits) {
    EXPECT_EQ(FormatVersion(0x0310), "3.10");
    EXPECT_EQ(FormatVersion(0x030F), "3.0F");
    EXPECT_EQ(ParseVersion("3.0F"), 0x030F);
    EXPECT_EQ(ParseVersion("3.0f"), 0x030F);
    EXPECT_EQ(ParseVersion("3.00"), 0x0300);
    EXPECT_EQ(ParseVersion("FF.FF"), 0xFFFF);
    EXPECT_FALSE(ParseVersion("3.1").has_value());
    EXPECT_FALSE(ParseVersion("310").has_value());
    EXPECT_FALSE(ParseVersion("1FF.00").has_value());
    EXPECT_FALSE(ParseVersion("3.G0").has_value());
}

}  // namespace
}  // namespace qvt
