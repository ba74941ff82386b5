// QvtUpdate.exe --record FILE: the command line as Windows programs split theirs, and a file
// that is not a trace is never overwritten.
#include <gtest/gtest.h>
// clang-format off
#include <windows.h>
// clang-format on

#include <filesystem>
#include <fstream>

#include "trace_file.h"
#include "trace_lines.h"
#include "wide_text.h"

namespace qvt::win32 {
namespace {

TEST(RecordOption, IsReadFromTheCommandLineAndNothingElseIs) {
    const std::pair<const wchar_t*, std::wstring> files[] = {
        {L"", L""},
        {L"/anything else", L""},
        {L"--record C:\\t.jsonl", L"C:\\t.jsonl"},
        {L"  --record \t \"C:\\my traces\\t.jsonl\" --later", L"C:\\my traces\\t.jsonl"},
    };
    for (const auto& [line, file] : files) {
        const auto read = ParseCommandLine(line);
        ASSERT_TRUE(read) << Narrow(line);
        EXPECT_EQ(read->record.value_or(L""), file) << Narrow(line);
    }
    const std::pair<const wchar_t*, std::string> refused[] = {
        {L"--record", "--record needs a file"},
        {L"--record --force", "--record needs a file"},
        {L"--record \"\"", "--record needs a file"},
        {L"--record a --record b", "--record is given twice"},
    };
    for (const auto& [line, why] : refused) {
        const auto read = ParseCommandLine(line);
        ASSERT_FALSE(read) << Narrow(line);
        EXPECT_EQ(read.error(), why);
    }
}

TEST(RecordOption, OverwritesNothingButATrace) {
    wchar_t folder[MAX_PATH];
    ASSERT_NE(GetTempPathW(MAX_PATH, folder), 0u);
    const std::wstring base =
        std::wstring(folder) + L"qvt-record-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring notes = base + L".txt", empty = base + L".empty", trace = base + L".jsonl";
    using Path = std::filesystem::path;
    std::ofstream(Path(notes), std::ios::binary) << "someone's notes\n";
    std::ofstream(Path(empty), std::ios::binary) << "";
    std::ofstream(Path(trace), std::ios::binary) << trace::HeaderLine({}) << "\n";
    EXPECT_TRUE(MayRecordTo(base + L".absent"));
    EXPECT_TRUE(MayRecordTo(empty));
    EXPECT_TRUE(MayRecordTo(trace));
    const auto kept = MayRecordTo(notes);
    ASSERT_FALSE(kept);
    EXPECT_EQ(kept.error(), "the trace file " + Narrow(notes) +
                                " holds something else than a trace; it is left as it is");
    EXPECT_EQ(MayRecordTo(folder).error(), "the trace file " + Narrow(folder) + " is a directory");

    auto file = TraceFile::Open(trace);
    ASSERT_TRUE(file);
    EXPECT_TRUE((*file)->Write("{\"a\":1}\n"));
    file->reset();
    std::ifstream written(Path(trace), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}), "{\"a\":1}\n");
    for (const std::wstring& path : {notes, empty, trace}) DeleteFileW(path.c_str());
}

}  // namespace
}  // namespace qvt::win32
