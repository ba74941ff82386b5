// The real qvt-update process: closed pipes and signals, sent as a terminal or a service
// manager would, never cut a flash short.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "run_binary.h"
#include "scenarios.h"

extern char** environ;

namespace qvt::linux_app {
namespace {

std::string TempFile(const std::string& stem, const std::string& text) {
    const std::string path = TestPath(stem);
    std::ofstream(path) << text;
    return path;
}

// The program with its standard output on a pipe that the test reads line by line.
class Child {
  public:
    explicit Child(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), QVT_UPDATE_BINARY);
        std::vector<char*> argv;
        for (auto& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        int pipe_fds[2];
        if (pipe(pipe_fds) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
        // A process group of its own, as a shell gives each job: the kernel drops a stop
        // signal sent into an orphaned group, which the test's own may be (a CI runner or a
        // script that started it in the background and went away).
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
        posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), environ);
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        close(pipe_fds[1]);
        out_ = fdopen(pipe_fds[0], "r");
    }
    ~Child() {
        if (pid_ > 0 && status_ < 0) {
            kill(pid_, SIGKILL);
            Wait();
        }
        if (out_) fclose(out_);
    }
    // The next line without its newline; nullopt at the end of the output.
    std::optional<std::string> Line() {
        char buffer[4096];
        if (!out_ || !fgets(buffer, sizeof buffer, out_)) return std::nullopt;
        std::string line(buffer);
        if (!line.empty() && line.back() == '\n') line.pop_back();
        transcript_ += line + "\n";
        return line;
    }
    // Reads until a line that starts with `prefix`; false at the end of the output.
    bool ReadUntil(const std::string& prefix) {
        while (auto line = Line()) {
            if (line->rfind(prefix, 0) == 0) return true;
        }
        return false;
    }
    void Signal(int signal) { kill(pid_, signal); }
    // Whether the process is stopped (job control) within `within_ms`.
    bool StopsWithin(int within_ms) {
        for (int waited = 0; waited <= within_ms; waited += 20) {
            int raw = 0;
            if (waitpid(pid_, &raw, WUNTRACED | WNOHANG) == pid_ && WIFSTOPPED(raw)) return true;
            usleep(20'000);
        }
        return false;
    }
    // The exit status, or minus the signal that ended the process: death by SIGTERM is not
    // the orderly exit 143 that a close by SIGTERM gives.
    int Wait() {
        while (Line()) {
        }
        int raw = 0;
        waitpid(pid_, &raw, 0);
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -WTERMSIG(raw);
        return status_;
    }
    const std::string& transcript() const { return transcript_; }

  private:
    pid_t pid_ = -1;
    FILE* out_ = nullptr;
    int status_ = -1;
    std::string transcript_;
};

long Count(const std::string& text, const std::string& line) {
    long count = 0;
    for (auto at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++count;
    return count;
}

constexpr const char* kRefusal = "box: アップデート中はアプリケーションを終了できません。";

TEST(Process, AClosedOrFullOutputNeverEndsARunInAnyFormat) {
    // The transcript or the log file: `head` leaves after a few lines, /dev/full refuses every
    // write, a file-size limit of 0 or 2 blocks stops the log on the way. Either way the run
    // goes on to its outcome, which the exit status tells, and the program's own failed write
    // is never taken for a close request (a box line in the transcript).
    const std::string log = TestPath("closed-output.log");
    struct Case {
        std::string limit, log, out;
    };
    const Case cases[] = {
        {"", "", "| head -n 2 >/dev/null"},
        {"", "", ">/dev/full"},
        {"", "--log >(head -c 300 >/dev/null)", "| grep -c ^box:"},
        {"", "--log /dev/full", "| grep -c ^box:"},
        {"ulimit -f 0; ", "--log " + log, "| grep -c ^box:"},
        {"ulimit -f 2; ", "--log " + log, "| grep -c ^box:"},
    };
    for (const char* format : {"--console", "--json", "--station --units 1"}) {
        for (const Case& c : cases) {
            const std::string command = "bash -c '" + c.limit + QVT_UPDATE_BINARY + " " + format +
                                        " --simulate --virtual-time " + c.log + " 2>/dev/null " +
                                        c.out + "; exit ${PIPESTATUS[0]}'";
            FILE* pipe = popen(command.c_str(), "r");
            ASSERT_NE(pipe, nullptr);
            char boxes[16] = "0\n";
            if (!std::fgets(boxes, sizeof boxes, pipe)) std::strcpy(boxes, "0\n");
            const int raw = pclose(pipe);
            ASSERT_TRUE(WIFEXITED(raw)) << command;
            EXPECT_EQ(WEXITSTATUS(raw), 0) << command;
            EXPECT_STREQ(boxes, "0\n") << command;
        }
    }
}

// Every signal whose default action ends the process, as kill(1) sends it: all but those that
// cannot be caught, that stop or are ignored by default, and SIGPIPE and SIGXFSZ, which the
// program ignores.
std::vector<int> TerminatingSignals() {
    const std::vector<int> not_terminating = {SIGKILL, SIGSTOP, SIGTSTP,  SIGTTIN, SIGTTOU, SIGCHLD,
                                              SIGCONT, SIGURG,  SIGWINCH, SIGPIPE, SIGXFSZ};
    std::vector<int> signals;
    for (int signal = 1; signal <= SIGRTMAX; ++signal) {
        if (signal > SIGSYS && signal < SIGRTMIN) continue;  // the C library's own
        if (std::find(not_terminating.begin(), not_terminating.end(), signal) ==
            not_terminating.end()) {
            signals.push_back(signal);
        }
    }
    return signals;
}

// In real time, from a unit in its boot loader: about 25 seconds.
TEST(Process, EveryTerminatingSignalDuringARealTimeRunIsRefusedAndTheRunCompletes) {
    const std::string scenario = TempFile("signals.json", std::string(testing::kOneBootLoader));
    Child child({"--console", "--scenario", scenario});
    ASSERT_TRUE(child.ReadUntil("message: イレース開始"));
    // Job control does not stop it (Ctrl+Z, a background job at the terminal), while the run
    // has most of its way still to go.
    for (int signal : {SIGTSTP, SIGTTIN, SIGTTOU}) {
        child.Signal(signal);
        ASSERT_FALSE(child.StopsWithin(200)) << strsignal(signal);
    }
    const auto signals = TerminatingSignals();
    ASSERT_GE(signals.size(), 50u);
    for (int signal : signals) {
        child.Signal(signal);
        ASSERT_TRUE(child.ReadUntil(kRefusal)) << strsignal(signal) << "\n" << child.transcript();
    }
    EXPECT_EQ(child.Wait(), 0) << child.transcript();
    EXPECT_EQ(Count(child.transcript(), kRefusal), static_cast<long>(signals.size()));
    EXPECT_NE(child.transcript().find("message: イレース完了"), std::string::npos);
    EXPECT_NE(child.transcript().find("caption=アップデート完了"), std::string::npos);
}

TEST(Process, ACloseSignalWhileNoRunIsOnEndsTheProgramAsACloseWould) {
    // The start-up check settles for 1.5 s after finding the boot loader; no run is on yet.
    const std::string scenario = TempFile("idle.json", std::string(testing::kOneBootLoader));
    for (int signal : {SIGTERM, SIGQUIT, SIGUSR1}) {
        Child child({"--console", "--scenario", scenario});
        ASSERT_TRUE(child.ReadUntil("force: enabled unchecked"));  // the last line at creation
        child.Signal(signal);
        // An orderly exit with the signal's status, not a death by it (nor a core dump).
        EXPECT_EQ(child.Wait(), 128 + signal) << strsignal(signal) << "\n" << child.transcript();
        EXPECT_EQ(child.transcript().find("message: アップデート開始"), std::string::npos);
        EXPECT_EQ(Count(child.transcript(), kRefusal), 0);
    }
}

TEST(Process, CtrlZStillStopsAProgramWithNoRunOn) {
    // A station waiting for a unit: no run is on for as long as none comes.
    const std::string scenario = TempFile("idle-stop.json", R"({"units": []})");
    Child child({"--station", "--scenario", scenario});
    ASSERT_TRUE(child.ReadUntil("status: shown"));
    child.Signal(SIGTSTP);
    EXPECT_TRUE(child.StopsWithin(5000));
    child.Signal(SIGCONT);
    child.Signal(SIGTERM);
    EXPECT_EQ(child.Wait(), 2) << child.transcript();  // the station's summary: no unit came
}

TEST(Process, ACloseSignalWhileAStationWaitsEndsItWithItsSummary) {
    const std::string scenario = TempFile("station.json", R"({"units": []})");
    Child child({"--station", "--scenario", scenario});
    ASSERT_TRUE(child.ReadUntil("status: shown"));  // no unit: the station waits for one
    child.Signal(SIGTERM);
    EXPECT_EQ(child.Wait(), 2) << child.transcript();  // no unit came
    EXPECT_NE(child.transcript().find("summary: 0 completed, 0 failed, 0 refused\n"),
              std::string::npos)
        << child.transcript();
}

}  // namespace
}  // namespace qvt::linux_app
