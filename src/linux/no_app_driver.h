#pragma once

#include "app_driver.h"

namespace qvt::linux_app {

// The maker ships no application-mode driver for Linux: no device object ever opens, so a
// unit in application mode is not seen here (switch it to its boot loader on Windows).
class NoAppDriver final : public AppDriver {
  public:
    bool Present() const override { return false; }
    std::unique_ptr<DriverDevice> Open(const std::string&) override { return nullptr; }
};

}  // namespace qvt::linux_app
