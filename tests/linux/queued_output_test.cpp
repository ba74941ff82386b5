// An output written by a thread of its own, against a writer that waits.
#include "queued_output.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <thread>

namespace qvt::linux_app {
namespace {

// The disk under a file of the program's own (the log, the trace) may lag for a moment while a
// virtual-time run hands over three updates' trace, 3 MiB, at once: every byte still lands.
// (A standard output's reader that falls that far behind is dropped: see the process tests.)
// A pipe that nobody reads for a while stands for the disk: the writer waits in it alike.
TEST(QueuedOutput, AFileOfItsOwnKeepsEveryByteWhileItsDiskLags) {
    const std::string chunk(4096, 'x');
    constexpr std::size_t kChunks = 768;
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    const UniqueFd read_end(ends[0]);
    std::optional<QueuedOutput> file{std::in_place, UniqueFd(ends[1])};
    for (std::size_t i = 0; i < kChunks; ++i) *file << chunk << std::flush;
    EXPECT_TRUE(*file);

    std::size_t received = 0;
    std::thread disk([&] {
        char buffer[65536];
        for (ssize_t n; (n = read(read_end.get(), buffer, sizeof buffer)) > 0;) {
            received += static_cast<std::size_t>(n);
        }
    });
    EXPECT_TRUE(file->Drain({}));
    file.reset();  // the writer done, the file closed: the end of what the disk reads
    disk.join();
    EXPECT_EQ(received, kChunks * chunk.size());
}

}  // namespace
}  // namespace qvt::linux_app
