#pragma once

#include "app_driver.h"

namespace qvt::win32 {

// The maker's application-mode driver: numbered device objects and two control codes.
// Can: count units in application mode, read their versions, ask one for its boot loader.
// Cannot: tell whether the driver is installed apart from finding no unit.
class WinAppDriver final : public AppDriver {
  public:
    // Windows is where the maker ships it; whether it is installed shows in the census.
    bool Present() const override { return true; }
    std::unique_ptr<DriverDevice> Open(const std::string& name) override;
};

}  // namespace qvt::win32
