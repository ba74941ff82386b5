#pragma once

#include <memory>

#include "app_driver.h"
#include "clock.h"
#include "hid_bus.h"
#include "replayer.h"
#include "traced_window_view.h"

namespace qvt::trace {

// The device ports and the clock answered from a trace: the core runs against the recorded
// exchanges, on any machine, in the trace's virtual time.
// Can: answer every call as the recorded unit answered it (bytes read, outcomes, the census,
// the interfaces listed), with the time it had returned at. Cannot: answer a call the trace
// does not hold; the first one stops the replay (see Replayer) and every later call finds
// nothing there: no interface, no object, failed transfers, sleeps that only pass time.
class ReplayClock final : public Clock {
  public:
    explicit ReplayClock(Replayer& replayer) : replayer_(replayer) {}
    void Sleep(std::uint32_t ms) override;
    std::uint64_t NowMs() const override { return replayer_.now(); }

  private:
    Replayer& replayer_;
};

class ReplayAppDriver final : public AppDriver {
  public:
    explicit ReplayAppDriver(Replayer& replayer) : replayer_(replayer) {}
    // As the recorded system had it.
    bool Present() const override { return replayer_.header().driver; }
    std::unique_ptr<DriverDevice> Open(const std::string& name) override;

  private:
    Replayer& replayer_;
};

// Interfaces are named "trace-hid/N", N the number the trace gave the path.
class ReplayHidBus final : public HidBus {
  public:
    explicit ReplayHidBus(Replayer& replayer) : replayer_(replayer) {}
    std::optional<std::string> InterfacePath(std::size_t index) override;
    std::unique_ptr<HidDevice> Open(const std::string& path) override;
    std::optional<HidAttributes> Inspect(const std::string& path) override;

  private:
    Replayer& replayer_;
};

struct ReplayPorts {
    explicit ReplayPorts(Replayer& replayer) : clock(replayer), driver(replayer), bus(replayer) {}
    ReplayClock clock;
    ReplayAppDriver driver;
    ReplayHidBus bus;
};

// Holds each run that begins to the click the trace holds.
TracedWindowView::RunBegins ReplayRuns(Replayer& replayer);

}  // namespace qvt::trace
