// The udev rule opens the boot loader's hidraw node to the logged-in user, and nothing else:
// a keyboard that happens to share the product number would give away its key strokes.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

bool Has(const std::string& line, const std::string& part) {
    return line.find(part) != std::string::npos;
}

TEST(UdevRule, GrantsAccessOnlyToTheVendorAndProductTogether) {
    std::ifstream file(QVT_UDEV_RULE);
    ASSERT_TRUE(file) << QVT_UDEV_RULE;
    std::vector<std::string> rules;
    for (std::string line; std::getline(file, line);) {
        if (line.find_first_not_of(" \t") == std::string::npos || line[0] == '#') continue;
        rules.push_back(line);
    }
    ASSERT_EQ(rules.size(), 1u);
    for (const std::string& rule : rules) {
        EXPECT_TRUE(Has(rule, R"(KERNEL=="hidraw*")")) << rule;
        // Both on one rule line: udev matches every ATTRS key of a rule on the same device.
        EXPECT_TRUE(Has(rule, R"(ATTRS{idVendor}=="1232")")) << rule;
        EXPECT_TRUE(Has(rule, R"(ATTRS{idProduct}=="0103")")) << rule;
        EXPECT_TRUE(Has(rule, R"(TAG+="uaccess")")) << rule;
        EXPECT_FALSE(Has(rule, "MODE=") || Has(rule, "GROUP=") || Has(rule, "OWNER=")) << rule;
    }
}

}  // namespace
