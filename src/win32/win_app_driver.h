#pragma once

#include "app_driver.h"

namespace qvt::win32 {

// The maker's application-mode driver: numbered device objects and two control codes.
class WinAppDriver final : public AppDriver {
  public:
    std::unique_ptr<DriverDevice> Open(const std::string& name) override;
};

}  // namespace qvt::win32
