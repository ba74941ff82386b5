// The scenario reader on any bytes: a clear error or a valid scenario, never a crash, a hang or
// an unbounded allocation, at any nesting and up to past the size cap. A valid one must also make a
// simulator that starts.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <variant>

#include "recording_window_view.h"
#include "scenario.h"
#include "simulated_world.h"
#include "virtual_clock.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto result = qvt::sim::ParseScenario(text);
    if (!result) {
        const std::string& error = result.error();
        if (error.empty()) __builtin_trap();  // a refusal always says why
        // ... in one short line: it quotes the text only in short excerpts.
        if (error.size() > 512 || error.find('\n') != std::string::npos) __builtin_trap();
        return 0;
    }
    qvt::sim::VirtualClock clock;
    qvt::sim::SimulatedWorld world(clock, std::move(*result));
    for (std::size_t i = 0; world.bus().InterfacePath(i); ++i) {
        if (i > 1000) __builtin_trap();  // the enumeration ends
    }
    return 0;
}
