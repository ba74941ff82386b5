// An output written by a thread of its own, against a writer that waits.
#include "queued_output.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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

}  // namespace
}  // namespace qvt::linux_app
