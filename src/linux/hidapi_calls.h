#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qvt::linux_app {

// The few hidapi calls that the bus makes, behind one seam: the program makes them on hidapi
// itself, tests on a stand-in for a hidraw device (none exists on a test machine).
class HidapiCalls {
  public:
    using Handle = void*;  // opaque to the bus
    struct Info {
        std::uint16_t vendor_id = 0;
        std::uint16_t product_id = 0;
        std::uint16_t release = 0;
    };

    virtual ~HidapiCalls() = default;
    // Every entry's path, in order; hidapi lists a device once per top-level collection.
    virtual std::vector<std::string> EnumeratePaths() = 0;
    // What the system's listing says of an interface, without opening it.
    virtual std::optional<Info> ListedInfo(const std::string& path) = 0;
    virtual Handle Open(const std::string& path) = 0;  // null on failure
    virtual void Close(Handle device) = 0;
    virtual std::optional<Info> DeviceInfo(Handle device) = 0;
    // hid_write and hid_read_timeout: bytes moved, or -1 on error (0 on a read's time-out).
    virtual int Write(Handle device, const std::uint8_t* data, std::size_t size) = 0;
    virtual int ReadTimeout(Handle device, std::uint8_t* data, std::size_t size,
                            int timeout_ms) = 0;
};

// hidapi's hidraw back end.
class SystemHidapi final : public HidapiCalls {
  public:
    SystemHidapi();
    ~SystemHidapi() override;
    SystemHidapi(const SystemHidapi&) = delete;
    SystemHidapi& operator=(const SystemHidapi&) = delete;

    std::vector<std::string> EnumeratePaths() override;
    std::optional<Info> ListedInfo(const std::string& path) override;
    Handle Open(const std::string& path) override;
    void Close(Handle device) override;
    std::optional<Info> DeviceInfo(Handle device) override;
    int Write(Handle device, const std::uint8_t* data, std::size_t size) override;
    int ReadTimeout(Handle device, std::uint8_t* data, std::size_t size, int timeout_ms) override;
};

}  // namespace qvt::linux_app
