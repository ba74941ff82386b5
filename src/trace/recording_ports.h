#pragma once

#include <memory>

#include "app_driver.h"
#include "clock.h"
#include "hid_bus.h"
#include "trace_recorder.h"
#include "traced_window_view.h"

namespace qvt::trace {

// The device ports and the clock as the core sees them while a session is recorded: each call
// goes to the platform's (or the simulator's) adapter, and the call with its answer to the
// recorder. The core cannot tell them from the adapters.
// Can: record every call, its answer and the time it returned; keep no path of the machine
// (interfaces are numbered as first listed). Cannot: record what an adapter does on its own
// between calls (it does nothing the core sees).
class RecordingClock final : public Clock {
  public:
    RecordingClock(Clock& clock, TraceRecorder& recorder) : clock_(clock), recorder_(recorder) {}
    void Sleep(std::uint32_t ms) override {
        recorder_.BeforeSleep();
        clock_.Sleep(ms);
        recorder_.Slept(ms);
    }
    std::uint64_t NowMs() const override { return clock_.NowMs(); }

  private:
    Clock& clock_;
    TraceRecorder& recorder_;
};

class RecordingAppDriver final : public AppDriver {
  public:
    RecordingAppDriver(AppDriver& driver, TraceRecorder& recorder)
        : driver_(driver), recorder_(recorder) {}
    bool Present() const override { return driver_.Present(); }
    std::unique_ptr<DriverDevice> Open(const std::string& name) override;

  private:
    AppDriver& driver_;
    TraceRecorder& recorder_;
};

class RecordingHidBus final : public HidBus {
  public:
    RecordingHidBus(HidBus& bus, TraceRecorder& recorder) : bus_(bus), recorder_(recorder) {}
    std::optional<std::string> InterfacePath(std::size_t index) override;
    std::unique_ptr<HidDevice> Open(const std::string& path) override;
    std::optional<HidAttributes> Inspect(const std::string& path) override;

  private:
    HidBus& bus_;
    TraceRecorder& recorder_;
};

// The three ports and the view, decorated for one recorder.
struct RecordingPorts {
    RecordingPorts(Clock& clock, AppDriver& driver, HidBus& bus, TraceRecorder& recorder)
        : clock(clock, recorder), driver(driver, recorder), bus(bus, recorder) {}
    RecordingClock clock;
    RecordingAppDriver driver;
    RecordingHidBus bus;
};

// Tells the recorder each run that begins.
TracedWindowView::RunBegins RecordRuns(TraceRecorder& recorder);

}  // namespace qvt::trace
