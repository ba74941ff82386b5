// An output written by a thread of its own, against a writer that waits.
#include "queued_output.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "run_binary.h"

namespace qvt::linux_app {
namespace {

// A virtual-time run hands over three updates' trace, 3 MiB, within milliseconds. A regular
// file of the program's own keeps every byte while its disk lags for a moment; a reader (a
// FIFO given as the log, a standard output) that falls that far behind is dropped. A pipe that
// nobody reads for a while stands for both: the writer waits in it as on a disk that lags.
TEST(QueuedOutput, AFileKeepsEveryByteWhileItsDiskLagsWhereAReaderThatFallsBehindIsDropped) {
    const std::string chunk(4096, 'x');
    constexpr std::size_t kChunks = 768;
    for (const std::size_t bound : {kQueuedFileBytes, kQueuedOutputBytes}) {
        const bool file = bound == kQueuedFileBytes;
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        const UniqueFd read_end(ends[0]);
        std::optional<QueuedOutput> output{std::in_place, UniqueFd(ends[1]), bound};
        for (std::size_t i = 0; i < kChunks; ++i) *output << chunk << std::flush;
        EXPECT_EQ(bool(*output), file) << bound;

        std::size_t received = 0;
        std::thread disk([&] {
            char buffer[65536];
            for (ssize_t n; (n = read(read_end.get(), buffer, sizeof buffer)) > 0;) {
                received += static_cast<std::size_t>(n);
            }
        });
        EXPECT_TRUE(output->Drain({}));
        output.reset();  // the file closed once its writer is done: the end of what is read
        disk.join();
        EXPECT_EQ(received == kChunks * chunk.size(), file) << received;
    }

    // Which bound an output of the program's own gets.
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    const UniqueFd read_end(ends[0]), write_end(ends[1]);
    const std::string fifo = TestPath("fifo"), regular = TestPath("file.log");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const UniqueFd fifo_fd(open(fifo.c_str(), O_RDWR)),
        file_fd(open(regular.c_str(), O_CREAT | O_WRONLY, 0600)),
        null_fd(open("/dev/null", O_WRONLY));
    EXPECT_EQ(QueuedOutput::BoundFor(file_fd.get()), kQueuedFileBytes);
    for (const int reader : {write_end.get(), fifo_fd.get(), null_fd.get()}) {
        EXPECT_EQ(QueuedOutput::BoundFor(reader), kQueuedOutputBytes) << reader;
    }
}

// A process at its limit of threads (a container's pids, a bench account's nproc) starts no
// writer for its first text: that text is lost as a failed write loses it, with the reason, and
// a drain ends at once. A queue left for a writer that never came held the program after a
// finished update until a signal ended it.
TEST(QueuedOutput, AWriterThatCannotStartLosesTheTextAsAFailedWriteWould) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root, to become a user with no room for a thread";
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    const UniqueFd read_end(ends[0]);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Nothing may leave this as an exception: the test would go on as nobody.
        _exit([&]() noexcept {
            const rlimit no_more{0, 0};
            if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0 ||
                setrlimit(RLIMIT_NPROC, &no_more) != 0) {
                return 2;
            }
            QueuedOutput output{UniqueFd(ends[1])};
            output << "a line\n" << std::flush;
            if (output || errno != EAGAIN) return 3;
            const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            return output.Drain([&] { return std::chrono::steady_clock::now() > give_up; }) ? 0 : 4;
        }());
    }
    close(ends[1]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    if (WEXITSTATUS(status) == 2) GTEST_SKIP() << "could not become an unprivileged user";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "3: the text was taken, 4: the drain waited";
    char byte = 0;
    EXPECT_EQ(read(read_end.get(), &byte, 1), 0);  // nothing was written
}

}  // namespace
}  // namespace qvt::linux_app
