// The trace reader on any bytes: a clear error in one short line, or a trace; and a trace that
// reads replays against the core to its end, whatever its answers, never a crash or a hang.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "embedded_image.h"
#include "product_table.h"
#include "recording_window_view.h"
#include "replay_ports.h"
#include "trace_lines.h"
#include "updater.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qvt;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto read = trace::ParseTrace(text);
    if (!read) {
        const std::string& error = read.error();
        if (error.empty()) __builtin_trap();  // a refusal always says why
        if (error.size() > 512 || error.find('\n') != std::string::npos) __builtin_trap();
        return 0;
    }
    trace::Replayer replayer(std::move(*read), text::kProgramVersion);
    trace::ReplayPorts ports(replayer);
    sim::RecordingWindowView view;
    trace::TracedWindowView traced(view, trace::ReplayRuns(replayer));
    EmbeddedImageResource resource;
    Updater updater(
        Ports{traced, ports.clock, ports.driver, ports.bus, resource, ProductDescrambleTable()});
    if (updater.form.FormCreate()) {
        for (int clicks = 0; replayer.NextIs(trace::CallKind::kStart); ++clicks) {
            if (clicks > 1000) __builtin_trap();  // every click takes its start from the trace
            updater.form.btnStartClick();
        }
    }
    replayer.Finish(updater.Standing());
    if (replayer.diverged() && replayer.report().empty()) __builtin_trap();
    return 0;
}
