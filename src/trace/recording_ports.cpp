#include "recording_ports.h"

namespace qvt::trace {
namespace {

class RecordingDriverDevice final : public DriverDevice {
  public:
    RecordingDriverDevice(std::unique_ptr<DriverDevice> device, int handle, TraceRecorder& recorder)
        : device_(std::move(device)), handle_(handle), recorder_(recorder) {}
    ~RecordingDriverDevice() override {
        device_.reset();
        recorder_.Add(Made(CallKind::kDriverClose, handle_));
    }
    RecordingDriverDevice(const RecordingDriverDevice&) = delete;
    RecordingDriverDevice& operator=(const RecordingDriverDevice&) = delete;

    bool IoControl(std::uint32_t code, const std::uint8_t* in, std::size_t in_size,
                   std::uint8_t* out, std::size_t out_size, std::size_t& returned) override {
        const bool ok = device_->IoControl(code, in, in_size, out, out_size, returned);
        Call call = Made(CallKind::kDriverIoctl, handle_);
        call.code = code;
        if (in) call.in.assign(in, in + in_size);
        call.size = out_size;
        call.ok = ok;
        call.returned = returned;
        if (out) call.out.assign(out, out + std::min(returned, out_size));
        recorder_.Add(std::move(call));
        return ok;
    }

  private:
    std::unique_ptr<DriverDevice> device_;
    const int handle_;
    TraceRecorder& recorder_;
};

class RecordingHidDevice final : public HidDevice {
  public:
    RecordingHidDevice(std::unique_ptr<HidDevice> device, int handle, TraceRecorder& recorder)
        : device_(std::move(device)), handle_(handle), recorder_(recorder) {}
    ~RecordingHidDevice() override {
        device_.reset();
        recorder_.Add(Made(CallKind::kHidClose, handle_));
    }
    RecordingHidDevice(const RecordingHidDevice&) = delete;
    RecordingHidDevice& operator=(const RecordingHidDevice&) = delete;

    bool GetAttributes(HidAttributes& attributes) override {
        Call call = Made(CallKind::kHidAttributes, handle_);
        const bool ok = device_->GetAttributes(attributes);
        call.ok = ok;
        if (ok) call.attributes = attributes;
        recorder_.Add(std::move(call));
        return ok;
    }
    Transfer Write(std::span<const std::uint8_t> report, std::uint32_t timeout_ms) override {
        Call call = Made(CallKind::kHidWrite, handle_);
        call.transfer = device_->Write(report, timeout_ms);
        call.ms = timeout_ms;
        call.size = report.size();
        call.in.assign(report.begin(), report.end());
        const Transfer transfer = call.transfer;
        recorder_.Add(std::move(call));
        return transfer;
    }
    Transfer Read(std::span<std::uint8_t> report, std::uint32_t timeout_ms) override {
        Call call = Made(CallKind::kHidRead, handle_);
        call.transfer = device_->Read(report, timeout_ms);
        call.ms = timeout_ms;
        call.size = report.size();
        if (call.transfer == Transfer::kCompleted) call.out.assign(report.begin(), report.end());
        const Transfer transfer = call.transfer;
        recorder_.Add(std::move(call));
        return transfer;
    }

  private:
    std::unique_ptr<HidDevice> device_;
    const int handle_;
    TraceRecorder& recorder_;
};

}  // namespace

std::unique_ptr<DriverDevice> RecordingAppDriver::Open(const std::string& name) {
    auto device = driver_.Open(name);
    Call call = Made(CallKind::kDriverOpen, device ? recorder_.NextHandle() : 0);
    call.name = name;
    const int handle = call.handle;
    recorder_.Add(std::move(call));
    if (!device) return nullptr;
    return std::make_unique<RecordingDriverDevice>(std::move(device), handle, recorder_);
}

std::optional<std::string> RecordingHidBus::InterfacePath(std::size_t index) {
    auto path = bus_.InterfacePath(index);
    Call call = Made(CallKind::kHidPath, 0);
    call.index = index;
    if (path) call.path = recorder_.PathNumber(*path);
    recorder_.Add(std::move(call));
    return path;
}

std::unique_ptr<HidDevice> RecordingHidBus::Open(const std::string& path) {
    auto device = bus_.Open(path);
    Call call = Made(CallKind::kHidOpen, device ? recorder_.NextHandle() : 0);
    call.path = recorder_.PathNumber(path);
    const int handle = call.handle;
    recorder_.Add(std::move(call));
    if (!device) return nullptr;
    return std::make_unique<RecordingHidDevice>(std::move(device), handle, recorder_);
}

std::optional<HidAttributes> RecordingHidBus::Inspect(const std::string& path) {
    const auto attributes = bus_.Inspect(path);
    Call call = Made(CallKind::kHidInspect, 0);
    call.path = recorder_.PathNumber(path);
    call.ok = attributes.has_value();
    if (attributes) call.attributes = *attributes;
    recorder_.Add(std::move(call));
    return attributes;
}

TracedWindowView::RunBegins RecordRuns(TraceRecorder& recorder) {
    return [&recorder](bool force_checked) {
        Call call;
        call.kind = CallKind::kStart;
        call.ok = force_checked;
        recorder.Add(std::move(call));
    };
}

}  // namespace qvt::trace
