#pragma once

#include "app_driver.h"

namespace qvt::linux_app {

// Linux has no application-mode driver: the maker ships none. No device object ever opens,
// so a unit in application mode is not seen here (switch it to its boot loader on Windows),
// and the return wait tells a unit's return by its boot loader's absence.
// Can: say that it is absent. Cannot: count units in application mode, read a version, or ask
// a unit for its boot loader.
class NoAppDriver final : public AppDriver {
  public:
    bool Present() const override { return false; }
    std::unique_ptr<DriverDevice> Open(const std::string&) override { return nullptr; }
};

}  // namespace qvt::linux_app
