// What the console shows of a scenario, plain, forced, over several runs and in --json, is held
// by the golden transcripts (tests/golden). Here, what no scenario gives: an image that does not
// load, an error that reaches the top, the log file, and the events' schema.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "console_rig.h"
#include "fakes.h"
#include "json_events.h"
#include "run_binary.h"
#include "sha256.h"
#include "time_stamp.h"

namespace qvt::linux_app {
namespace {

// Every transcript begins with the controls as the window creates them.
const std::string kAtCreation =
    "message: \n"
    "status: hidden fg=0x00008000 bg=0x8000000F caption=\n"
    "progress: 0/13\n"
    "start: enabled\n"
    "force: enabled unchecked\n";

TEST(Console, TheImageErrorExitsThree) {
    const auto t = Session({"--simulate", "--virtual-time"}, nullptr,
                           std::make_unique<testing::BytesResource>(std::nullopt));
    EXPECT_EQ(t.status, 3);
    EXPECT_EQ(t.out,
              kAtCreation +
                  "message: エラーが発生しました\\n再度やり直してください。\nstart: disabled\n");
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(Console, TheLogFileIsTheTranscriptWithTimeStampsAfterItsHeader) {
    const std::string path = TestPath("console.log");
    std::ofstream log(path);
    const auto options = ParseOptions({"--simulate", "--virtual-time"});
    auto backend = Backend::Create(*options);
    std::ostringstream out, err;
    const LogTarget target{log, "the log file"};
    EXPECT_EQ(RunConsole(*options, **backend, out, err, &target), 0);
    EXPECT_EQ(err.str(), "");
    log.close();
    std::ifstream written(path);
    const auto file = Lines(std::string(std::istreambuf_iterator<char>(written), {}));
    const auto transcript = Lines(out.str());
    std::size_t at = 0;
    while (at < file.size() && file[at].rfind("# ", 0) == 0) ++at;
    EXPECT_EQ(at, 6u);  // the header
    EXPECT_NE(file[3].find("# system: Linux"), std::string::npos);
    EXPECT_EQ(file[5], "# unit: simulated");
    ASSERT_EQ(file.size() - at, transcript.size() + 1);
    for (std::size_t i = 0; i < transcript.size(); ++i) {
        const auto body = testing::AfterTimeStamp(file[at + i]);
        ASSERT_TRUE(body) << file[at + i];
        EXPECT_EQ(*body, transcript[i]);
    }
    EXPECT_NE(file.back().find(" outcome: update completed"), std::string::npos);
}

// A resource whose reading raises, as a failing platform call might.
class ThrowingResource final : public ImageResource {
  public:
    std::optional<std::span<const std::uint8_t>> Load() override {
        throw std::runtime_error("resource unreadable");
    }
    std::optional<std::span<const std::uint8_t>> LoadDigest() override { return std::nullopt; }
};

TEST(Console, AnErrorThatReachesTheTopIsItsBoxAndExitSeventy) {
    const auto t =
        Session({"--simulate", "--virtual-time"}, nullptr, std::make_unique<ThrowingResource>());
    EXPECT_EQ(t.status, 70);
    EXPECT_EQ(t.out, kAtCreation + "box: resource unreadable\n");
}

// Every version of the schema that has shipped, with the SHA-256 of its file. A change to the
// file needs a new version and a new line here: readers rely on a version meaning one schema.
const std::map<int, std::string> kShippedSchemas = {
    {1, "e0a001b313a0df4c5b2775b15b233605bd1c01ecb3c2c5d622bd94e955f4632f"},
    {2, "e213f055311d91b67d7b35b2bd6652dfaaa2162253127d28df688564f97cc8a3"},
    {3, "593b02fd420a5c63b671fca392e4729c73ea06d337b88115c0dff98d75aea5cc"},
    {4, "9573d5909b506727d34d5845899b89c902addfbb4181534e4775550036ed77af"},
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
