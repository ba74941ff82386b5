#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app_driver.h"
#include "awake_hold.h"
#include "clock.h"
#include "embedded_image.h"
#include "hid_bus.h"
#include "hidapi_calls.h"
#include "no_app_driver.h"
#include "options.h"
#include "recording_ports.h"
#include "replay_ports.h"
#include "result.h"
#include "simulated_world.h"

namespace qvt::linux_app {

// The devices and the clock behind the window: the simulated unit, the real bus, or a trace
// played back; any of them recorded.
class Backend {
  public:
    // Fails when the scenario cannot be used. With `replay`, the session runs against it.
    static Result<std::unique_ptr<Backend>> Create(const Options& options,
                                                   std::optional<trace::Trace> replay = {});

    Clock& clock();
    AppDriver& driver();
    HidBus& bus();
    ImageResource& resource() { return *resource_; }
    // Another image source in place of the embedded one (tests of the image error).
    void ReplaceResource(std::unique_ptr<ImageResource> resource) {
        resource_ = std::move(resource);
    }
    sim::SimulatedWorld* world() { return world_.get(); }
    // What keeps the machine awake while a run flashes a real unit; none for a simulated one.
    AwakeHold* awake() { return awake_.get(); }

    // From now on every call on the ports is recorded, for a session driven by `front_end`
    // ("window", "console", "json", "station"). Before the session's first call.
    void Record(const std::string& front_end, const Options& options);
    trace::TraceRecorder* recorder() { return recorder_.get(); }
    trace::Replayer* replayer() { return replayer_.get(); }
    // The session's view, as the core is to see it: recorded or replayed with the runs it
    // begins, or `view` itself when there is no trace.
    WindowView& Traced(WindowView& view);
    // The session has ended: the trace is closed with its outcome, or the replay checked
    // against it.
    void FinishTrace(const std::string& outcome, std::optional<int> status);
    // Nothing on the bench can change any more: a simulated one in virtual time whose events
    // have all acted, or a replay whose trace holds no further wait.
    bool BenchQuiet(const Options& options) const;

  private:
    std::unique_ptr<Clock> clock_;
    std::unique_ptr<sim::SimulatedWorld> world_;
    std::unique_ptr<HidapiCalls> hidapi_;
    std::unique_ptr<HidBus> hid_;
    std::unique_ptr<AwakeHold> awake_;
    NoAppDriver no_driver_;
    std::unique_ptr<ImageResource> resource_ = std::make_unique<EmbeddedImageResource>();
    std::unique_ptr<trace::Replayer> replayer_;
    std::unique_ptr<trace::ReplayPorts> replay_ports_;
    std::unique_ptr<trace::TraceRecorder> recorder_;
    std::unique_ptr<trace::RecordingPorts> recording_;
    std::unique_ptr<trace::TracedWindowView> traced_view_;
};

}  // namespace qvt::linux_app
