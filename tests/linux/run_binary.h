#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace qvt::linux_app {

struct ProcessResult {
    int status = -1;  // the exit status; -1 when a signal ended the process
    std::string out;
    std::string err;
};

// A per-test, per-process path in the test's temporary folder: ctest runs tests in parallel.
inline std::string TestPath(const std::string& stem) {
    return ::testing::TempDir() + "qvt-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" + stem + "-" +
           std::to_string(getpid());
}

// A passing test's files (every name TestPath gave it, and those made from one by a suffix) are
// removed when it ends, so that runs do not fill the temporary folder; a failing test's stay to
// be read. Only this process's: the same test may run in another tree at the same time.
class TestFilesSweep : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo& test) override {
        if (!test.result()->Passed()) return;
        const std::string prefix = std::string("qvt-") + test.name() + "-";
        const std::string pid = "-" + std::to_string(getpid());
        const auto ours = [&](const std::string& name) {
            const std::size_t at = name.rfind(pid);
            return name.starts_with(prefix) && at != std::string::npos &&
                   (at + pid.size() == name.size() || name[at + pid.size()] == '.');
        };
        std::error_code ignored;
        std::vector<std::filesystem::path> files;
        for (std::filesystem::directory_iterator it(::testing::TempDir(), ignored), end;
             !ignored && it != end; it.increment(ignored)) {
            const std::string name = it->path().filename().string();
            if (ours(name)) files.push_back(it->path());
        }
        for (const auto& file : files) std::filesystem::remove_all(file, ignored);
    }
};
inline const bool kTestFilesSwept = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(
        std::make_unique<TestFilesSweep>().release());  // the listeners own it
    return true;
}();

// A file of the test's own holding that text, for the program to be given.
inline std::string Written(const std::string& stem, const std::string& text) {
    const std::string path = TestPath(stem);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The program run by the shell with `arguments` (which may hold redirections), its standard
// output read back and its standard error collected in a file.
inline ProcessResult RunBinary(const std::string& arguments,
                               const std::string& program = QVT_UPDATE_BINARY) {
    const std::string err_path = TestPath("stderr");
    const std::string command = program + " " + arguments + " 2>" + err_path;
    ProcessResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    std::array<char, 4096> buffer{};
    while (std::fgets(buffer.data(), buffer.size(), pipe)) result.out += buffer.data();
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.err = ReadFile(err_path);
    return result;
}

}  // namespace qvt::linux_app
