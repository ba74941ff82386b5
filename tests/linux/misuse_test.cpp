// The program as someone who gets the command line wrong, or tries to break it, would run it:
// every bad input is one clear line and exit 64 before anything is written, and an output that
// cannot be written is never lost without a word.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "log_file.h"
#include "run_binary.h"
#include "scenarios.h"

namespace qvt::linux_app {
namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

constexpr const char* kCompleted = "caption=アップデート完了\n";

// A loop device over a zeroed file of the test's own, where the system lets the test make one.
class LoopDevice {
  public:
    explicit LoopDevice(const std::string& backing) : backing_(backing) {
        std::ofstream(backing, std::ios::binary) << std::string(kBytes, '\0');
        FILE* made = popen(("losetup --find --show " + backing + " 2>/dev/null").c_str(), "r");
        char name[256] = "";
        if (made && std::fgets(name, sizeof name, made))
            device_ = std::string(name, std::strcspn(name, "\n"));
        if (made) pclose(made);
    }
    ~LoopDevice() {
        if (!device_.empty()) std::system(("losetup -d " + device_).c_str());
    }
    const std::string& device() const { return device_; }
    bool Untouched() const { return ReadFile(backing_) == std::string(kBytes, '\0'); }

  private:
    static constexpr std::size_t kBytes = 65536;
    std::string backing_, device_;
};

TEST(ProgramUsage, EveryUsageErrorIsOneLineOnStderrAndExit64) {
    const std::string bad = Written("bad.json", R"({"faults": [{"kind": "explode"}]})");
    const std::string deep = Written(
        "deep.json", "{\"units\": " + std::string(100000, '[') + std::string(100000, ']') + "}");
    const std::string large = Written("large.json", std::string(1024 * 1024, ' ') + "{}");
    const std::string fifo = TestPath("fifo");
    std::filesystem::remove(fifo);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = ::testing::TempDir();
    const std::string nul = Written("nul.json", std::string("{\"transfer_ms\":1}\0garbage", 26));
    // A name that would retitle the terminal, and a value that would clear it.
    const std::string hostile = folder + "title\x1b]0;pwned\x07.json";
    const std::string shown = folder + "title\\u001b]0;pwned\\u0007.json";
    const std::string out = TestPath("out.txt"), dangling = TestPath("dangling.log");
    std::filesystem::remove(dangling);
    std::filesystem::create_symlink(dangling + ".target", dangling);
    const LoopDevice disk(TestPath("disk.img"));
    const std::string log = "--simulate --virtual-time --log ";
    const std::string mixed = " goes; the record would be mixed into it";
    std::vector<std::pair<std::string, std::string>> cases = {
        {"--bogus", "unknown option \"--bogus\" (see --help)"},
        {"--station --units 0", "--units needs a whole number of at least 1, not \"0\""},
        {"--station --units=-3", "--units needs a whole number of at least 1, not \"-3\""},
        {"--units 2 --simulate", "--units works only with --station"},
        {"--station --runs 2 --simulate", "--runs does not go with --station"},
        {"--virtual-time", "--virtual-time works only with --simulate or --scenario"},
        {"--scenario /nonexistent.json",
         "cannot read scenario file /nonexistent.json: No such file or directory"},
        // What the reader says of a scenario's words is the golden transcripts' (a key given
        // twice, an unknown fault kind); these are files no golden scenario should be.
        {"--scenario " + nul, nul + ": malformed JSON at byte 18: a NUL byte"},
        // Each option at most once: the second would win unseen.
        {"--simulate --runs 2 --runs 3", "--runs is given twice (each option at most once)"},
        {"--simulate --log a.log --log=b.log", "--log is given twice (each option at most once)"},
        {"--simulate --console", "--console is given twice (each option at most once)"},
        {"--scenario '" + hostile + "'",
         "cannot read scenario file " + shown + ": No such file or directory"},
        {"--simulate --runs '\x1b[2J'",
         "--runs needs a whole number of at least 1, not \"\\u001b[2J\""},
        {"'--\x1b[31mred'", "unknown option \"--\\u001b[31mred\" (see --help)"},
        {"--scenario " + deep, deep + ": scenario: nested deeper than 16 levels"},
        {"--scenario " + large, large + ": larger than 1 MiB"},
        // None of these is opened: a FIFO without a writer would wait for ever, /dev/zero
        // never ends.
        {"--scenario " + fifo,
         "scenario file " + fifo + " is a FIFO (named pipe), not a regular file"},
        {"--scenario /dev/zero", "scenario file /dev/zero is a device, not a regular file"},
        {"--scenario " + folder, "scenario file " + folder + " is a directory"},
        {"--scenario " + bad + "/inside.json",
         "cannot read scenario file " + bad + "/inside.json: Not a directory"},
        {"--simulate --log /nonexistent/qvt.log",
         "cannot open the log file /nonexistent/qvt.log: No such file or directory"},
        {"--simulate --log " + folder, "the log file " + folder + " is a directory"},
        {"--simulate --log " + fifo,
         "the log file " + fifo + " is a FIFO with no reader (No such device or address)"},
        // The scenario is checked before the log is opened.
        {"--log /nonexistent/qvt.log --scenario /nonexistent.json",
         "cannot read scenario file /nonexistent.json: No such file or directory"},
        // Only where a person could mean the record to go; by identity, not by name.
        {log + out + " >" + out, "the log file " + out + " is where standard output" + mixed},
        {log + "/dev/stdout", "the log file /dev/stdout is where standard output" + mixed},
        {log + "/proc/self/fd/1", "the log file /proc/self/fd/1 is where standard output" + mixed},
        {log + "/dev/stderr", "the log file /dev/stderr is where standard error" + mixed},
        {log + dangling,
         "the log file " + dangling + " is a symbolic link to nothing; no file is made through it"},
        {log + "/dev/random",
         "the log file /dev/random is a device; the record goes to a file, a FIFO or /dev/null"},
        // Regular by its mode, but what is written there renames the process.
        {log + "/proc/self/comm",
         "the log file /proc/self/comm is a kernel interface, not a file; "
         "writing it would change the system"},
        {log + "--json", "--log needs a file, not \"--json\" (a file of that name is ./--json)"},
        {log + "-", "--log needs a file, not \"-\" (a file of that name is ./-)"},
    };
    if (!disk.device().empty()) {
        cases.push_back({log + disk.device(),
                         "the log file " + disk.device() +
                             " is a block device; writing it would destroy what it holds"});
    }
    for (const auto& [arguments, message] : cases) {
        const auto result =
            RunBinary("--console " + arguments, "timeout -s KILL 20 " QVT_UPDATE_BINARY);
        EXPECT_EQ(result.status, 64) << arguments;
        EXPECT_EQ(result.err, "qvt-update: " + message + "\n") << arguments;
        EXPECT_EQ(result.out, "") << arguments;
    }
    EXPECT_FALSE(std::filesystem::exists(dangling + ".target"));
    EXPECT_TRUE(disk.Untouched());
    // Without a loop device of its own (not root), the test holds the check that refuses one.
    if (disk.device().empty()) {
        struct stat block = {};
        block.st_mode = S_IFBLK | 0600;
        EXPECT_EQ(
            CheckLogTarget("/dev/sdz", block, Options{}).error(),
            "the log file /dev/sdz is a block device; writing it would destroy what it holds");
    }
    // A device that keeps nothing takes the record, even where standard output goes.
    EXPECT_EQ(RunBinary("--console --simulate --virtual-time --log /dev/null >/dev/null").status,
              0);
}

TEST(ProgramUsage, NothingTheUserNamedIsDestroyedBeforeTheRunIsKnownToStart) {
    const std::string scenario_text = std::string(testing::kOneBootLoader);
    const std::string scenario = Written("scenario.json", scenario_text);
    // The scenario by its own name, and by every other: the file is the same file.
    const std::string folder = TestPath("folder");
    std::filesystem::create_directories(folder);
    const std::string name = std::filesystem::path(scenario).filename();
    const std::string symlink = TestPath("symlink.json"), hardlink = TestPath("hardlink.json");
    std::filesystem::remove(symlink);
    std::filesystem::remove(hardlink);
    std::filesystem::create_symlink(scenario, symlink);
    std::filesystem::create_hard_link(scenario, hardlink);
    const std::string parent = std::filesystem::path(scenario).parent_path();
    for (const std::string& alias :
         {scenario, parent + "/./" + name, folder + "/../" + name, symlink, hardlink}) {
        auto refused =
            RunBinary("--console --virtual-time --scenario " + scenario + " --log " + alias);
        EXPECT_EQ(refused.status, 64) << alias;
        EXPECT_EQ(refused.err, "qvt-update: the log file " + alias +
                                   " is the scenario file; writing it would destroy it\n");
        EXPECT_EQ(ReadFile(scenario), scenario_text) << alias;
    }

    // Nor a typo that names the scenario again as the log, behind a second scenario.
    const std::string second = Written("second.json", "{}");
    EXPECT_EQ(RunBinary("--console --virtual-time --scenario " + scenario + " --scenario " +
                        second + " --log " + scenario)
                  .status,
              64);
    EXPECT_EQ(ReadFile(scenario), scenario_text);

    // A bad scenario leaves the log of an earlier session as it was.
    const std::string log = Written("earlier.log", "an earlier session\n");
    const std::string bad = Written("bad.json", R"({"units": 1})");
    EXPECT_EQ(RunBinary("--console --virtual-time --scenario " + bad + " --log " + log).status, 64);
    EXPECT_EQ(ReadFile(log), "an earlier session\n");
    // A session that starts writes its record over it, leaving nothing of a longer one behind.
    std::ofstream(log, std::ios::binary) << std::string(100000, '~');
    EXPECT_EQ(RunBinary("--console --simulate --virtual-time --log " + log).status, 0);
    const std::string record = ReadFile(log);
    EXPECT_EQ(record.rfind("# QVT-40 R3 Update v3.10\n", 0), 0u);
    EXPECT_EQ(record.find('~'), std::string::npos);

    // Nor can the log overwrite the program.
    const std::string copy = TestPath("qvt-update");
    std::filesystem::copy_file(QVT_UPDATE_BINARY, copy,
                               std::filesystem::copy_options::overwrite_existing);
    const auto size = std::filesystem::file_size(copy);
    const auto itself = RunBinary("--console --simulate --virtual-time --log " + copy, copy);
    EXPECT_EQ(itself.status, 64);
    EXPECT_EQ(itself.err, "qvt-update: the log file " + copy +
                              " is this program; writing it would destroy it\n");
    EXPECT_EQ(std::filesystem::file_size(copy), size);
}

TEST(ProgramUsage, AClosedStandardOutputNeverTurnsTheLogIntoTheTranscript) {
    const std::string log = TestPath("closed-stdout.log");
    const auto result = RunBinary("--console --simulate --virtual-time --log " + log + " >&-");
    EXPECT_EQ(result.status, 0);
    const std::string written = ReadFile(log);
    EXPECT_EQ(written.rfind("# QVT-40 R3 Update v3.10\n", 0), 0u);  // the record, from its header
    EXPECT_FALSE(Contains(written, "\nmessage: "));  // no untimed transcript line in it
    EXPECT_TRUE(Contains(written, " outcome: update completed (the unit came back current)\n"));
}

// The run goes on and its exit status tells the update's outcome; what was lost is said on
// standard error when it happens and again at the end.
TEST(ProgramUsage, AnOutputThatCannotBeWrittenIsToldAndTheRunGoesOn) {
    const auto log = RunBinary("--console --simulate --virtual-time --log /dev/full");
    EXPECT_EQ(log.status, 0);
    EXPECT_TRUE(Contains(log.out, kCompleted));
    EXPECT_EQ(log.err,
              "qvt-update: cannot write the log file /dev/full: No space left on device; the run "
              "goes on\n"
              "qvt-update: the log file /dev/full is incomplete: No space left on device\n");

    const auto transcript = RunBinary("--console --simulate --virtual-time >/dev/full");
    EXPECT_EQ(transcript.status, 0);
    EXPECT_EQ(transcript.err,
              "qvt-update: cannot write the transcript: No space left on device; the run goes "
              "on\n"
              "qvt-update: the transcript is incomplete: No space left on device\n");
}

// Memory that runs out while the session starts (here, as the scenario is read) is an error
// that reached the top, said in one line with status 70, not an abort.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
constexpr bool kAddressSanitizer = __has_feature(address_sanitizer);
#else
constexpr bool kAddressSanitizer = false;
#endif

TEST(ProgramUsage, MemoryThatRunsOutIsTheErrorPathNotACrash) {
    if (kAddressSanitizer) {
        GTEST_SKIP() << "AddressSanitizer's shadow memory needs more address space than any limit "
                        "that this test sets";
    }
    const std::string scenario = Written("scenario.json", std::string(testing::kOneBootLoader));
    auto under = [](long kib, const std::string& arguments) {
        return RunBinary(arguments,
                         "ulimit -v " + std::to_string(kib) + "; exec " QVT_UPDATE_BINARY);
    };
    // The least address space in which the program starts at all, within 64 KiB: the shared
    // libraries take most of it.
    long low = 16 * 1024, high = 1024 * 1024;
    ASSERT_EQ(under(high, "--version").status, 0);
    while (high - low > 64) {
        const long middle = (low + high) / 2;
        (under(middle, "--version").status == 0 ? high : low) = middle;
    }
    // A quarter of a MiB more: reading the scenario asks for a whole MiB.
    const auto result = under(high + 256, "--console --virtual-time --scenario " + scenario);
    EXPECT_EQ(result.status, 70) << result.err;
    EXPECT_EQ(result.err, "qvt-update: cannot go on: std::bad_alloc\n");
    // A trace of bare lines is refused as malformed, not by memory: room for more calls than a
    // trace may hold was reserved for every line (1.3 GB for these).
    const std::string lines = Written("lines.trace.jsonl", std::string(8 << 20, '\n'));
    const auto replayed = under(high + 64 * 1024, "--console --replay " + lines);
    EXPECT_EQ(replayed.status, 65) << replayed.err;
}

// A display that does not answer, or a platform Qt does not have, is one line and the console,
// before Qt can abort with lines of its own.
TEST(ProgramUsage, ADisplayThatCannotBeOpenedFallsBackToTheConsole) {
#ifndef QVT_HAVE_GUI
    GTEST_SKIP() << "built without the window";
#endif
    const std::string no_compositor = "qvt-no-compositor-" + std::to_string(getpid());
    const std::pair<std::string, std::string> cases[] = {
        {"DISPLAY=:12345", "cannot open the display \":12345\""},
        {"DISPLAY=", "cannot open the display \"\""},
        {"WAYLAND_DISPLAY=" + no_compositor + " XDG_RUNTIME_DIR=" + ::testing::TempDir(),
         "cannot open the display \"" + no_compositor + "\""},
        {"QT_QPA_PLATFORM=bogus DISPLAY=:12345", "Qt has no platform \"bogus\""},
    };
    for (const auto& [environment, message] : cases) {
        const auto result =
            RunBinary("--simulate --virtual-time",
                      "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_SESSION_TYPE " +
                          environment + " " QVT_UPDATE_BINARY);
        EXPECT_EQ(result.status, 0) << environment;
        EXPECT_EQ(result.err, "qvt-update: " + message + "; using the console\n") << environment;
        EXPECT_TRUE(Contains(result.out, kCompleted)) << environment;
    }
}

}  // namespace
}  // namespace qvt::linux_app
