// The updater's own CPU cost: a whole update in virtual time, and the image descrambling.
#include <benchmark/benchmark.h>
#include <gtest/gtest.h>

#include "rig.h"

namespace qvt {
namespace {

void WholeUpdate(benchmark::State& state) {
    long written = 0, read = 0, pumps = 0;
    for (auto _ : state) {
        testing::Rig rig(testing::kOneOutdatedUnit);
        rig.Create().Start();
        if (!rig.updater.sequence.completed()) state.SkipWithError("the update did not complete");
        written = rig.TotalReceived();
        read = rig.Received(BOOT_CMD_READ);
        pumps = rig.view.pumps;
    }
    state.counters["reports_written"] = static_cast<double>(written);
    state.counters["replies_read"] = static_cast<double>(read);
    state.counters["pumps"] = static_cast<double>(pumps);
}
BENCHMARK(WholeUpdate)->Unit(benchmark::kMillisecond);

void Descramble(benchmark::State& state) {
    EmbeddedImageResource resource;
    FirmwareImage image;
    FirmwareImageLoader loader(resource, ProductDescrambleTable(), image);
    loader.LoadFirmwareImage();
    for (auto _ : state) {
        loader.DescrambleImage();
        benchmark::DoNotOptimize(loader.decoded().data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kImageResourceSize);
}
BENCHMARK(Descramble)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace qvt
