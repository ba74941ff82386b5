#pragma once

#include "recording_ports.h"
#include "rig.h"
#include "trace_header.h"

namespace qvt::testing {

// A freshly started program with the simulated unit(s) behind it, in virtual time, every call
// on its ports recorded.
struct RecordedRig {
    explicit RecordedRig(std::string_view json)
        : world(clock, ScenarioFrom(json)),
          resource(ShippedResource()),
          recorder(trace::NewHeader("tests", "Test", world.driver(), resource), clock),
          ports(clock, world.driver(), world.bus(), recorder),
          traced(view, trace::RecordRuns(recorder)),
          updater(Ports{traced, ports.clock, ports.driver, ports.bus, resource,
                        ProductDescrambleTable()}) {}

    // The window's creation and a click of Start; the trace, closed with how it ended.
    std::string Session() {
        if (updater.form.FormCreate()) updater.form.btnStartClick();
        recorder.Finish({updater.Standing(), 0, false});
        return recorder.Text({});
    }

    sim::VirtualClock clock;
    sim::SimulatedWorld world;
    BytesResource resource;
    trace::TraceRecorder recorder;
    trace::RecordingPorts ports;
    sim::RecordingWindowView view;
    trace::TracedWindowView traced;
    Updater updater;
};

}  // namespace qvt::testing
