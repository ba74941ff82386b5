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

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(Console, TheDefaultScenarioPrintsEveryChangeOfAWholeUpdate) {
    const auto t = Session({"--simulate", "--virtual-time"});
    EXPECT_EQ(t.status, 0);
    EXPECT_EQ(
        t.out,
        kAtCreation +
            "status: shown fg=0x000000FF bg=0x8000000F caption=アップデートを行ってください\n"
            "message: QVT-40 R3のアップデートが必要です。\\n開始ボタンをクリックしてください。. \n"
            "force: disabled unchecked\n"
            "start: disabled\n"
            "message: アップデート開始\n"
            "status: hidden fg=0x000000FF bg=0x8000000F caption=アップデートを行ってください\n"
            "progress: 1/13\n"
            "message: ブートモード切替開始\n"
            "progress: 2/13\n"
            "log: ChangeBootMode true: 2\n"
            "message: ブートモード切替完了\n"
            "progress: 3/13\n"
            "message: イレース開始\n"
            "progress: 4/13\n"
            "log: [EraseDevice]OpenHid count:0\n"
            "message: イレース完了\n"
            "progress: 5/13\n"
            "message: ブランクチェック開始\n"
            "progress: 6/13\n"
            "log: [BlankCheck]OpenHid count:0\n"
            "message: ブランクチェック完了\n"
            "progress: 7/13\n"
            "message: プログラミング開始\n"
            "progress: 8/13\n"
            "log: [ProgramVerify]OpenHid count:0\n"
            "message: プログラミング完了\n"
            "progress: 9/13\n"
            "message: ベリファイ開始\n"
            "progress: 10/13\n"
            "message: ベリファイ完了\n"
            "progress: 11/13\n"
            "message: リセット開始\n"
            "progress: 12/13\n"
            "log: [ResetDevice]OpenHid count:0\n"
            "message: リセット完了\n"
            "progress: 13/13\n"
            "message: バージョンチェック開始\n"
            "status: shown fg=0x00FFFFFF bg=0x00008000 caption=アップデート完了\n"
            "message: アップデート完了\\nアプリケーションを終了してください。\n");
    EXPECT_EQ(t.err, "");
}

// The events as the README shows them: UTF-8 texts as they are, not escaped, so that grep and
// line-based scripts see the words a person sees.
TEST(Console, JsonEventsAreTheReadmesLinesInPlainUtf8) {
    const auto t = Session({"--json", "--virtual-time", "--simulate"});
    EXPECT_EQ(t.status, 0);
    for (
        const char* line :
        {R"({"schema":"qvt-update-events","version":4,"t_ms":0,"event":"message","text":"アップデート開始"})",
         R"({"schema":"qvt-update-events","version":4,"t_ms":27344,"event":"outcome","kind":"completed","phase":"return wait","cause":"none","refusal":"none","reason":"the unit came back current","status":0,"status_name":"completed"})"}) {
        EXPECT_NE(t.out.find(std::string(line) + "\n"), std::string::npos) << line;
    }
}

TEST(Console, AFailedRunEndsWithStartEnabledAndExitOne) {
    const auto t = Session({"--virtual-time"}, R"({"faults": [{"kind": "ignore_boot_request"}]})");
    EXPECT_EQ(t.status, 1);
    EXPECT_TRUE(EndsWith(
        t.out,
        "log: CheckBootMode false!!\n"
        "message: アップデート中にエラーが発生しました。\\n開始ボタンをクリックしてください。\n"
        "start: enabled\n"))
        << t.out;
}

TEST(Console, RunsAgainUpToTheNumberOfRuns) {
    const auto t = Session({"--virtual-time", "--runs", "3"},
                           R"({"faults": [{"kind": "ignore_boot_request"}]})");
    EXPECT_EQ(t.status, 1);
    std::size_t failures = 0;
    for (std::size_t at = t.out.find("log: CheckBootMode false!!"); at != std::string::npos;
         at = t.out.find("log: CheckBootMode false!!", at + 1)) {
        ++failures;
    }
    EXPECT_EQ(failures, 3u);
}

TEST(Console, ASecondRunCanFindTheUnitBackAndExitZero) {
    // The unit returns only after the tool has stopped waiting; the second click finds it.
    const auto t = Session({"--virtual-time", "--runs", "2"}, R"({"reset_delay_ms": 201000})");
    EXPECT_EQ(t.status, 0);
    EXPECT_TRUE(EndsWith(t.out,
                         "status: shown fg=0x00FFFFFF bg=0x00008000 caption=Update completion\n"
                         "message: アップデート完了\\nアプリケーションを終了してください。\n"))
        << t.out;
}

TEST(Console, ACurrentUnitAllowsNoUpdateUnlessForced) {
    const char* current = R"({"units": [{"mode": "application", "version": "3.10"}]})";
    const auto plain = Session({"--virtual-time"}, current);
    EXPECT_EQ(plain.status, 2);
    EXPECT_EQ(plain.out, kAtCreation +
                             "status: shown fg=0x00008000 bg=0x8000000F caption=アップデート済\n"
                             "message: QVT-40 "
                             "R3は最新版のためアップデートの必要がありません。\\nアプリケーションを"
                             "終了してください。\n"
                             "start: disabled\n");
    const auto forced = Session({"--virtual-time", "--force"}, current);
    EXPECT_EQ(forced.status, 0);
    EXPECT_NE(forced.out.find("force: enabled checked\nstart: enabled\n"), std::string::npos);
}

TEST(Console, NoUnitSeveralUnitsAndARestartWithNothingToUpdateExitTheirOwnStatuses) {
    EXPECT_EQ(Session({"--virtual-time"}, R"({"units": []})").status, 4);
    EXPECT_EQ(
        Session({"--virtual-time", "--force"}, R"({"units": [{"mode": "boot"}, {"mode": "boot"}]})")
            .status,
        5);
    // The unit is swapped for a current one while the first run waits in vain.
    const auto swapped = Session({"--virtual-time", "--runs", "3"}, R"({
        "faults": [{"kind": "ignore_boot_request"}],
        "events": [{"action": "unplug", "unit": 0, "at_ms": 50000},
                   {"action": "attach", "unit": {"mode": "application", "version": "3.10"},
                    "at_ms": 150000}]})");
    EXPECT_EQ(swapped.status, 2);
    EXPECT_TRUE(EndsWith(swapped.out,
                         "caption=アップデート済\nmessage: QVT-40 R3は最新版のためアップデー"
                         "トの必要がありません。\\nアプリケーションを終了してください。"
                         "\nforce: enabled unchecked\n"))
        << swapped.out;
}

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
    const std::string path = ::testing::TempDir() + "console-log-" + std::to_string(getpid());
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

TEST(Console, WithoutTheDriverTheStartUpCheckSaysWhyNothingIsSeen) {
    const auto t =
        Session({"--virtual-time"}, R"({"app_driver": false, "units": [{"mode": "application"}]})");
    EXPECT_EQ(t.status, 4);
    EXPECT_EQ(t.err,
              "qvt-update: no application-mode driver on this system: a unit in application "
              "mode cannot be seen here (see README.md, \"Real units on Linux\")\n");
    EXPECT_NE(t.out.find("caption=QVT-40 R3 未接続"), std::string::npos);
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
