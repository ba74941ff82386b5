#include "win_app_driver.h"

#include "unique_handle.h"
#include "wide_text.h"

namespace qvt::win32 {
namespace {

class WinDriverDevice final : public DriverDevice {
  public:
    explicit WinDriverDevice(UniqueFile file) : file_(std::move(file)) {}
    bool IoControl(std::uint32_t code, const std::uint8_t* in, std::size_t in_size,
                   std::uint8_t* out, std::size_t out_size, std::size_t& returned) override {
        DWORD count = 0;
        const bool done = DeviceIoControl(file_.get(), code, const_cast<std::uint8_t*>(in),
                                          static_cast<DWORD>(in_size), out,
                                          static_cast<DWORD>(out_size), &count, nullptr) != FALSE;
        returned = done ? count : 0;
        return done;
    }

  private:
    UniqueFile file_;
};

}  // namespace

std::unique_ptr<DriverDevice> WinAppDriver::Open(const std::string& name) {
    UniqueFile file(CreateFileW(Widen(name).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return nullptr;
    return std::make_unique<WinDriverDevice>(std::move(file));
}

}  // namespace qvt::win32
