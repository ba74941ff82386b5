#include "backend.h"

#include "hidapi_bus.h"
#include "logind_awake_hold.h"
#include "steady_clock.h"
#include "texts.h"
#include "trace_header.h"
#include "virtual_clock.h"

namespace qvt::linux_app {

Result<std::unique_ptr<Backend>> Backend::Create(const Options& options,
                                                 std::optional<trace::Trace> replay) {
    auto backend = std::make_unique<Backend>();
    if (replay) {
        backend->replayer_ =
            std::make_unique<trace::Replayer>(std::move(*replay), text::kProgramVersion);
        backend->replay_ports_ = std::make_unique<trace::ReplayPorts>(*backend->replayer_);
        return backend;
    }
    if (options.virtual_time) {
        backend->clock_ = std::make_unique<sim::VirtualClock>();
    } else {
        backend->clock_ = std::make_unique<SteadyClock>();
    }
    if (!options.simulate) {
        backend->hidapi_ = std::make_unique<SystemHidapi>();
        backend->hid_ = std::make_unique<HidapiBus>(*backend->hidapi_, *backend->clock_);
        backend->awake_ = std::make_unique<LogindAwakeHold>();
        return backend;
    }
    sim::Scenario scenario;
    if (options.scenario_path) {
        auto loaded = sim::LoadScenarioFile(*options.scenario_path);
        if (!loaded) return Result<std::unique_ptr<Backend>>::Failure(loaded.error());
        scenario = std::move(*loaded);
    }
    backend->world_ = std::make_unique<sim::SimulatedWorld>(*backend->clock_, std::move(scenario));
    return backend;
}

Clock& Backend::clock() {
    if (recording_) return recording_->clock;
    return replay_ports_ ? replay_ports_->clock : *clock_;
}

AppDriver& Backend::driver() {
    if (recording_) return recording_->driver;
    if (replay_ports_) return replay_ports_->driver;
    return world_ ? world_->driver() : no_driver_;
}

HidBus& Backend::bus() {
    if (recording_) return recording_->bus;
    if (replay_ports_) return replay_ports_->bus;
    return world_ ? world_->bus() : *hid_;
}

void Backend::Record(const std::string& front_end, const Options& options) {
    Clock& inner_clock = clock();
    AppDriver& inner_driver = driver();
    HidBus& inner_bus = bus();
    trace::Header header = trace::NewHeader("qvt-update", "Linux", inner_driver, *resource_);
    header.front_end = front_end;
    header.force = options.force;
    header.units = options.units;
    if (replayer_) {
        // A trace recorded from a replay says what the replayed session was.
        header.front_end = replayer_->header().front_end;
        header.force = replayer_->header().force;
        header.units = replayer_->header().units;
    }
    recorder_ = std::make_unique<trace::TraceRecorder>(std::move(header), inner_clock);
    recording_ =
        std::make_unique<trace::RecordingPorts>(inner_clock, inner_driver, inner_bus, *recorder_);
}

WindowView& Backend::Traced(WindowView& view) {
    if (!recorder_ && !replayer_) return view;
    trace::TracedWindowView::RunBegins replayed, recorded;
    if (replayer_) replayed = trace::ReplayRuns(*replayer_);
    if (recorder_) recorded = trace::RecordRuns(*recorder_);
    traced_view_ =
        std::make_unique<trace::TracedWindowView>(view, [replayed, recorded](bool force) {
            if (replayed) replayed(force);
            if (recorded) recorded(force);
        });
    return *traced_view_;
}

void Backend::FinishTrace(const std::string& outcome, std::optional<int> status) {
    if (recorder_) recorder_->Finish({outcome, status});
    if (replayer_) replayer_->Finish(outcome, status);
}

bool Backend::BenchQuiet(const Options& options) const {
    if (replayer_) return !replayer_->NextIs(trace::CallKind::kSleep);
    return world_ && options.virtual_time && !world_->EventsScheduled();
}

}  // namespace qvt::linux_app
