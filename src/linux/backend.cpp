#include "backend.h"

#include "hidapi_bus.h"
#include "logind_awake_hold.h"
#include "steady_clock.h"
#include "virtual_clock.h"

namespace qvt::linux_app {

Result<std::unique_ptr<Backend>> Backend::Create(const Options& options) {
    auto backend = std::make_unique<Backend>();
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

AppDriver& Backend::driver() {
    return world_ ? world_->driver() : no_driver_;
}
HidBus& Backend::bus() {
    return world_ ? world_->bus() : *hid_;
}

}  // namespace qvt::linux_app
