// A boot loader that answers reads with the fuzzer's bytes: a run never completes unless every
// read of its last verification brought back the image's own bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "embedded_image.h"
#include "product_table.h"
#include "recording_window_view.h"
#include "scenario.h"
#include "simulated_world.h"
#include "texts.h"
#include "updater.h"
#include "virtual_clock.h"

namespace {

struct Reply {
    std::uint32_t address;
    std::string during;  // the message shown while the reply was sent
    qvt::sim::WireReport bytes;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qvt;
    FuzzedDataProvider fuzz(data, size);
    auto parsed = sim::ParseScenario(R"({"units": [{"mode": "boot"}], "transfer_ms": 0})");
    sim::VirtualClock clock;
    sim::RecordingWindowView view;
    EmbeddedImageResource resource;
    sim::SimulatedWorld world(clock, std::move(*parsed));
    std::vector<Reply> replies;
    // Each reply: as the flash has it, rewritten with the fuzzer's bytes, or one bit flipped.
    world.SetReplyTamper([&](std::uint32_t address, sim::WireReport& reply) {
        switch (fuzz.remaining_bytes() ? fuzz.ConsumeIntegralInRange<int>(0, 3) : 0) {
            case 1: {
                const auto bytes = fuzz.ConsumeBytes<std::uint8_t>(reply.size());
                std::copy(bytes.begin(), bytes.end(), reply.begin());
                break;
            }
            case 2:
                reply[fuzz.ConsumeIntegralInRange<std::size_t>(0, reply.size() - 1)] ^=
                    static_cast<std::uint8_t>(1u << fuzz.ConsumeIntegralInRange<int>(0, 7));
                break;
            default:
                break;
        }
        replies.push_back({address, view.messages.empty() ? "" : view.messages.back(), reply});
    });
    Updater updater(
        Ports{view, clock, world.driver(), world.bus(), resource, ProductDescrambleTable()});
    updater.form.FormCreate();
    updater.form.btnStartClick();
    if (!updater.sequence.completed()) return 0;

    // The replies of the last verification: the last run of them sent under its message.
    const auto is_verify = [](const Reply& r) { return r.during == text::kVerifyStart; };
    const auto last = std::find_if(replies.rbegin(), replies.rend(), is_verify);
    const auto first = std::find_if_not(last, replies.rend(), is_verify);
    if (first - last != 2 * 349) __builtin_trap();  // two whole passes, nothing skipped
    for (auto reply = last; reply != first; ++reply) {
        const std::size_t count = std::min<std::size_t>(58, kFlashEndAddress - reply->address);
        if (!std::equal(reply->bytes.begin() + 7, reply->bytes.begin() + 7 + count,
                        updater.firmware.program.begin() + reply->address)) {
            __builtin_trap();  // completed on a reply that was not the image
        }
    }
    return 0;
}
