// The real qvt-update process with readers that do not read: no output holds a run.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "run_binary.h"
#include "time_stamp.h"

extern char** environ;

namespace qvt::linux_app {
namespace {

// The program with its standard output on `out`.
pid_t Spawn(std::vector<std::string> arguments, int out) {
    arguments.insert(arguments.begin(), QVT_UPDATE_BINARY);
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    pid_t pid = -1;
    posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out);
    return pid;
}

// What `fd` gives until its end, or until `until` holds of it; never longer than `within`.
std::string ReadFrom(int fd, std::chrono::milliseconds within,
                     const std::function<bool(const std::string&)>& until = {}) {
    const auto deadline = std::chrono::steady_clock::now() + within;
    std::string text;
    char buffer[4096];
    while (!(until && until(text)) && std::chrono::steady_clock::now() < deadline) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, 5) <= 0) continue;
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return text;
}

// The exit status, or -1 for a process that had to be killed after `within`.
int ExitStatus(pid_t pid, std::chrono::milliseconds within) {
    const auto deadline = std::chrono::steady_clock::now() + within;
    int raw = 0;
    while (waitpid(pid, &raw, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &raw, 0);
            return -1;
        }
        usleep(5000);
    }
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// The record's lines without their time stamps.
std::string Unstamped(const std::string& record) {
    std::istringstream lines(record);
    std::string text;
    for (std::string line; std::getline(lines, line);) {
        text += std::string(testing::AfterTimeStamp(line).value_or(line)) + "\n";
    }
    return text;
}

// No reader holds a run: one that sleeps gets every line late, while the session takes the time
// it takes with readers that read; and a close signal ends the wait for the lines as it ends an
// idle program. Standard output, then the record on a FIFO, each on a pipe of one page. The
// readers sleep three times the session's own time, at least 1.5 s: about 4 s in all.
TEST(Process, AReaderThatSleepsHoldsNoRunAndGetsEveryLineLate) {
    using namespace std::chrono_literals;
    using Clock = std::chrono::steady_clock;
    const std::string log = TestPath("sleeping.log"), fifo = TestPath("sleeping.fifo");
    auto session = [&](const std::string& record, int out) {
        return Spawn({"--station", "--json", "--virtual-time", "--scenario",
                      QVT_SOURCE_DIR "/docs/scenarios/station-three-units.json", "--log", record},
                     out);
    };
    auto small_pipe = [](int(&ends)[2]) {
        ASSERT_EQ(pipe(ends), 0);
        fcntl(ends[0], F_SETPIPE_SZ, 4096);
    };
    // Until the record's last line has been written, whatever stdout's reader does.
    auto session_end = [&](Clock::time_point start, Clock::duration within) {
        while (ReadFile(log).find(" outcome: station ended") == std::string::npos &&
               Clock::now() - start < within) {
            usleep(2000);
        }
        return Clock::now() - start;
    };

    // Readers that read: the session's own time, and what it writes.
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    auto start = Clock::now();
    pid_t pid = session(log, out[1]);
    const std::string events = ReadFrom(out[0], 5000ms);
    ASSERT_EQ(ExitStatus(pid, 5000ms), 1);  // a unit failed
    const auto own_time = Clock::now() - start;
    // The readers below sleep three times that: a session that one of them held could not end
    // before it woke, and one that nothing holds ends well before, however busy the machine.
    const Clock::duration sleep = std::max<Clock::duration>(1500ms, 3 * own_time);
    const std::string record = Unstamped(ReadFile(log));
    ASSERT_GT(events.size(), 3 * 4096u);
    ASSERT_GT(record.size(), 4096u);
    close(out[0]);

    // Standard output that nobody reads for a while.
    small_pipe(out);
    std::remove(log.c_str());
    start = Clock::now();
    pid = session(log, out[1]);
    EXPECT_LT(session_end(start, sleep), sleep);
    std::this_thread::sleep_until(start + sleep);
    EXPECT_EQ(ReadFrom(out[0], 5000ms), events);
    EXPECT_EQ(ExitStatus(pid, 5000ms), 1);
    close(out[0]);

    // The record on a FIFO that nobody reads for a while.
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int fifo_reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    fcntl(fifo_reader, F_SETPIPE_SZ, 4096);
    ASSERT_EQ(pipe(out), 0);
    start = Clock::now();
    pid = session(fifo, out[1]);
    ReadFrom(out[0], std::chrono::duration_cast<std::chrono::milliseconds>(sleep),
             [](const std::string& text) {
                 return text.find("\"event\":\"summary\"") != std::string::npos;
             });
    EXPECT_LT(Clock::now() - start, sleep);
    std::this_thread::sleep_until(start + sleep);
    EXPECT_EQ(Unstamped(ReadFrom(fifo_reader, 5000ms)), record);
    EXPECT_EQ(ExitStatus(pid, 5000ms), 1);
    close(fifo_reader);
    close(out[0]);
    std::remove(fifo.c_str());

    // Standard output that nobody ever reads: once the session has ended, SIGTERM ends the wait.
    small_pipe(out);
    std::remove(log.c_str());
    pid = session(log, out[1]);
    EXPECT_LT(session_end(Clock::now(), 10s), 10s);
    kill(pid, SIGTERM);
    EXPECT_EQ(ExitStatus(pid, 5000ms), 128 + SIGTERM);
    close(out[0]);
    std::remove(log.c_str());
}

}  // namespace
}  // namespace qvt::linux_app
