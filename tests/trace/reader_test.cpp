// A trace is read whole or refused with one line that says where and why: whatever a file
// holds, it never reaches a replay half understood.
#include <gtest/gtest.h>

#include "trace_lines.h"
#include "trace_rig.h"

namespace qvt::testing {
namespace {

std::string Header() {
    return trace::HeaderLine({}) + "\n";
}
const std::string kEnd = R"({"outcome":"no update run"})"
                         "\n";

TEST(TraceReader, EveryMalformedTraceIsOneLineThatSaysWhere) {
    std::string version_three = Header();
    version_three.replace(version_three.find("\"version\":2"), 11, "\"version\":3");
    const std::pair<std::string, std::string> cases[] = {
        {"", "empty: no header line"},
        {R"({"units": []})"
         "\n" +
             kEnd,
         "line 1: not a trace: the first line names no schema \"qvt-update-trace\""},
        {version_three + kEnd,
         "line 1: a schema version this program does not read (it reads versions 1 to 2)"},
        {Header() + R"({"call":"sleep","ms":50})"
                    "\n",
         "cut short: no outcome line after line 2"},
        {Header() + R"({"call":"sleep","ms":50,"t":)",
         "line 2: not a flat JSON object: the line ends inside its object (at byte 29)"},
        {Header() + "{\"call\":\"hid_open\",\"path\":0,\"h\":\"" + std::string(70000, '1') +
             "\"}\n" + kEnd,
         "line 2: longer than 64 KiB"},
        {Header() + std::string("{\"call\":\"sleep\",\"ms\":1}\0\n", 24) + kEnd,
         "line 2: a NUL byte"},
        {Header() + "{\"call\":\"driver_open\",\"name\":\"\xff\",\"h\":0}\n" + kEnd,
         "line 2: not UTF-8"},
        // Well-formed by lead and continuation bytes alone: an overlong NUL, a surrogate, and a
        // code point past U+10FFFF.
        {Header() + "{\"call\":\"driver_open\",\"name\":\"\xc0\x80\",\"h\":0}\n" + kEnd,
         "line 2: not UTF-8"},
        {Header() + "{\"call\":\"driver_open\",\"name\":\"\xed\xa0\x80\",\"h\":0}\n" + kEnd,
         "line 2: not UTF-8"},
        {Header() + "{\"call\":\"driver_open\",\"name\":\"\xf5\x80\x80\x80\",\"h\":0}\n" + kEnd,
         "line 2: not UTF-8"},
        {Header() +
             R"({"call":"sleep","ms":1,"n":100001})"
             "\n" +
             kEnd,
         "line 2: more than 100,000 calls"},
        {Header() +
             R"({"call":"erase"})"
             "\n" +
             kEnd,
         "line 2: unknown call \"erase\""},
        {Header() +
             R"({"call":"erase\n\u001b[2J\""})"
             "\n" +
             kEnd,
         R"(line 2: unknown call "erase\u000a\u001b[2J\"")"},
        {Header() +
             R"({"call":"hid_write","h":1,"ms":1000,"result":"completed","bytes":"0g"})"
             "\n" +
             kEnd,
         "line 2: \"bytes\" is not up to 65 bytes in hex"},
        {Header() +
             R"({"call":"hid_read","h":1,"ms":50,"result":"lost"})"
             "\n" +
             kEnd,
         "line 2: \"result\" is not completed, failed or timed out"},
        {Header() +
             R"({"call":"sleep","ms":1,"ms":2})"
             "\n" +
             kEnd,
         "line 2: not a flat JSON object: key \"ms\" given twice (at byte 28)"},
        {Header() +
             R"({"call":"sleep","ms":1,"depth":{}})"
             "\n" +
             kEnd,
         "line 2: not a flat JSON object: a value that is not a string, a whole number, true, "
         "false or null (at byte 32)"},
        {Header() +
             R"({"call":"sleep","ms":1,"t":5})"
             "\n"
             R"({"call":"sleep","ms":1,"t":4})"
             "\n" +
             kEnd,
         "line 3: time goes back"},
        {Header() + kEnd + kEnd, "line 3: a line after the outcome"},
    };
    for (const auto& [text, why] : cases) {
        const auto read = trace::ParseTrace(text);
        ASSERT_FALSE(read) << why;
        EXPECT_EQ(read.error(), why);
    }
}

// A trace cut short at any line, or inside one, is refused: a replay never runs against part
// of a session taken for the whole.
TEST(TraceReader, ATraceCutAtAnyLineOrInsideOneIsRefused) {
    // A unit whose blank check fails at its first chunk: every kind of line but the driver's
    // control codes, in 88 lines.
    RecordedRig rig(R"({"units": [{"mode": "boot"}],
                        "faults": [{"kind": "stuck_byte", "address": "0x1100", "value": 0}]})");
    const std::string text = rig.Session();
    ASSERT_TRUE(trace::ParseTrace(text));
    std::size_t cuts = 0;
    for (std::size_t end = text.find('\n'); end + 1 < text.size(); end = text.find('\n', end + 1)) {
        const std::size_t next = text.find('\n', end + 1);
        for (const std::size_t at : {end + 1, (end + 1 + next) / 2}) {
            ++cuts;
            EXPECT_FALSE(trace::ParseTrace(std::string_view(text).substr(0, at)))
                << "cut at " << at;
        }
    }
    EXPECT_GT(cuts, 150u);
}

}  // namespace
}  // namespace qvt::testing
