// qvt-twin-linux: the simulated units of a scenario as emulated hidraw nodes under umockdev, for
// the unmodified qvt-update and its hidapi. Runs under umockdev-wrapper:
//
//   umockdev-wrapper qvt-twin-linux [--linux-bench] SCENARIO TRANSCRIPT -- PROGRAM [ARGUMENTS...]
//
// starts PROGRAM with its standard output in TRANSCRIPT, plays the units until it ends, then
// prints how each unit ended and exits with PROGRAM's status. With --linux-bench the scenario
// is played as a Linux bench meets it (AsLinuxBench).
//
//   qvt-twin-linux cases MATRIX
//
// prints the Linux cases of the twins' matrix, a line each: name|scenario|options|long|expected.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "hidraw_twin.h"
#include "real_clock.h"
#include "scenario.h"
#include "twin_matrix.h"

namespace {

volatile pid_t the_program = 0;

// The scenario as the twin plays it: as written, or as a Linux bench meets it.
qvt::Result<qvt::sim::Scenario> LoadScenario(const char* path, bool linux_bench) {
    if (!linux_bench) return qvt::sim::LoadScenarioFile(path);
    using Loaded = qvt::Result<qvt::sim::Scenario>;
    std::ifstream in(path, std::ios::binary);
    const std::string json{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in) return Loaded::Failure(std::string(path) + ": cannot be read");
    const auto bench = qvt::twin::AsLinuxBench(json);
    if (!bench) return Loaded::Failure(std::string(path) + ": " + bench.error());
    return qvt::sim::ParseScenario(*bench);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace qvt;
    if (argc == 3 && std::string(argv[1]) == "cases") return twin::PrintCases(argv[2], "linux");
    const bool linux_bench = argc > 1 && std::string(argv[1]) == "--linux-bench";
    if (linux_bench) {
        --argc;
        ++argv;
    }
    if (argc < 5 || std::string(argv[3]) != "--") {
        std::fprintf(
            stderr,
            "usage: umockdev-wrapper qvt-twin-linux [--linux-bench] SCENARIO TRANSCRIPT -- "
            "PROGRAM [ARGUMENTS...]\n       qvt-twin-linux cases MATRIX\n");
        return 64;
    }
    const char* preload = std::getenv("LD_PRELOAD");
    if (!preload || !std::strstr(preload, "umockdev")) {
        std::fprintf(stderr, "qvt-twin-linux: run it under umockdev-wrapper\n");
        return 64;
    }
    auto loaded = LoadScenario(argv[1], linux_bench);
    if (!loaded) {
        std::fprintf(stderr, "qvt-twin-linux: %s\n", loaded.error().c_str());
        return 64;
    }
    twin::RealClock clock;
    twin::TwinHost host(clock, std::move(*loaded));
    UMockdevTestbed* testbed = umockdev_testbed_new();
    twin::HidrawTwin twin(testbed, host);
    twin.Follow();

    const int transcript = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (transcript < 0) {
        std::perror(argv[2]);
        return 64;
    }
    const pid_t child = fork();
    if (child == 0) {
        dup2(transcript, STDOUT_FILENO);
        // umockdev reports the node's device number to stat() but not to fstat(), which
        // hidapi asks when it describes an open device; the real kernel answers both.
        const std::string preload = std::string(std::getenv("LD_PRELOAD")) + ":" + QVT_NODE_STAT;
        setenv("LD_PRELOAD", preload.c_str(), 1);
        execvp(argv[4], argv + 4);
        std::perror(argv[4]);
        _exit(127);
    }
    close(transcript);
    // What would end the twin ends the program first, as a person closing its window: the
    // twin itself plays on until the program has gone.
    the_program = child;
    struct sigaction pass_on {};
    pass_on.sa_handler = [](int signal) { kill(the_program, signal); };
    sigemptyset(&pass_on.sa_mask);
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &pass_on, nullptr);
    std::atomic<bool> done = false;
    std::thread follower([&] {
        while (!done) {
            twin.Follow();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    done = true;
    follower.join();
    for (const std::string& line : host.Account()) std::printf("%s\n", line.c_str());
    std::printf("current: %s\n", host.UnitCurrent(0) ? "yes" : "no");
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
