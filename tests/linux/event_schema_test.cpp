// The schema that --json promises, and the version its events name.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "json_events.h"
#include "sha256.h"

namespace qvt::linux_app {
namespace {

// Every version of the schema that has shipped, with the SHA-256 of its file. A change to the
// file needs a new version and a new line here: readers rely on a version meaning one schema.
const std::map<int, std::string> kShippedSchemas = {
    {1, "e0a001b313a0df4c5b2775b15b233605bd1c01ecb3c2c5d622bd94e955f4632f"},
};

std::string Hex(const std::array<std::uint8_t, 32>& digest) {
    static const char* const kDigits = "0123456789abcdef";
    std::string text;
    for (std::uint8_t byte : digest) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

TEST(EventSchema, IsTheShippedOneOfItsVersionAndTheEventsNameThatVersion) {
    std::ifstream file(QVT_SOURCE_DIR "/packaging/qvt-update-events.schema.json", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)), {});
    ASSERT_FALSE(text.empty());
    // The two constants of the schema's top level, as the file spells them.
    EXPECT_NE(text.find(std::string("\"schema\": {\n      \"const\": \"") + kEventSchema + "\""),
              std::string::npos);
    const std::string version_at = "\"version\": {\n      \"const\": ";
    const auto at = text.find(version_at);
    ASSERT_NE(at, std::string::npos);
    const int version = std::atoi(text.c_str() + at + version_at.size());
    EXPECT_EQ(version, kEventSchemaVersion);
    const auto shipped = kShippedSchemas.find(version);
    ASSERT_NE(shipped, kShippedSchemas.end()) << "a new version needs its line in kShippedSchemas";
    const auto digest = Sha256({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    EXPECT_EQ(Hex(digest), shipped->second)
        << "the schema changed: give it a new version, and its digest a new line";
}

}  // namespace
}  // namespace qvt::linux_app
