#pragma once

#include <memory>
#include <string>

#include "app_driver.h"
#include "awake_hold.h"
#include "clock.h"
#include "embedded_image.h"
#include "hid_bus.h"
#include "hidapi_calls.h"
#include "no_app_driver.h"
#include "options.h"
#include "result.h"
#include "simulated_world.h"

namespace qvt::linux_app {

// The devices and the clock behind the window: the simulated unit, or the real bus.
class Backend {
  public:
    // Fails when the scenario cannot be used.
    static Result<std::unique_ptr<Backend>> Create(const Options& options);

    Clock& clock() { return *clock_; }
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

  private:
    std::unique_ptr<Clock> clock_;
    std::unique_ptr<sim::SimulatedWorld> world_;
    std::unique_ptr<HidapiCalls> hidapi_;
    std::unique_ptr<HidBus> hid_;
    std::unique_ptr<AwakeHold> awake_;
    NoAppDriver no_driver_;
    std::unique_ptr<ImageResource> resource_ = std::make_unique<EmbeddedImageResource>();
};

}  // namespace qvt::linux_app
