#include "replay_ports.h"

#include <algorithm>
#include <charconv>

namespace qvt::trace {
namespace {

constexpr std::string_view kPathPrefix = "trace-hid/";

class ReplayDriverDevice final : public DriverDevice {
  public:
    ReplayDriverDevice(Replayer& replayer, int handle) : replayer_(replayer), handle_(handle) {}
    ~ReplayDriverDevice() override { replayer_.Answer(Made(CallKind::kDriverClose, handle_)); }
    ReplayDriverDevice(const ReplayDriverDevice&) = delete;
    ReplayDriverDevice& operator=(const ReplayDriverDevice&) = delete;

    bool IoControl(std::uint32_t code, const std::uint8_t* in, std::size_t in_size,
                   std::uint8_t* out, std::size_t out_size, std::size_t& returned) override {
        Call made = Made(CallKind::kDriverIoctl, handle_);
        made.code = code;
        if (in) made.in.assign(in, in + in_size);
        made.size = out_size;
        returned = 0;
        const Call* recorded = replayer_.Answer(made);
        if (!recorded) return false;
        const std::size_t given = std::min(recorded->out.size(), out ? out_size : 0);
        std::copy_n(recorded->out.begin(), given, out);
        returned = std::min(recorded->returned, out_size);
        return recorded->ok;
    }

  private:
    Replayer& replayer_;
    const int handle_;
};

class ReplayHidDevice final : public HidDevice {
  public:
    ReplayHidDevice(Replayer& replayer, int handle) : replayer_(replayer), handle_(handle) {}
    ~ReplayHidDevice() override { replayer_.Answer(Made(CallKind::kHidClose, handle_)); }
    ReplayHidDevice(const ReplayHidDevice&) = delete;
    ReplayHidDevice& operator=(const ReplayHidDevice&) = delete;

    bool GetAttributes(HidAttributes& attributes) override {
        const Call* recorded = replayer_.Answer(Made(CallKind::kHidAttributes, handle_));
        if (!recorded || !recorded->ok) return false;
        attributes = recorded->attributes;
        return true;
    }
    Transfer Write(std::span<const std::uint8_t> report, std::uint32_t timeout_ms) override {
        Call made = Made(CallKind::kHidWrite, handle_);
        made.ms = timeout_ms;
        made.size = report.size();
        made.in.assign(report.begin(), report.end());
        return Finished(replayer_.Answer(made), timeout_ms);
    }
    Transfer Read(std::span<std::uint8_t> report, std::uint32_t timeout_ms) override {
        Call made = Made(CallKind::kHidRead, handle_);
        made.ms = timeout_ms;
        made.size = report.size();
        const Call* recorded = replayer_.Answer(made);
        if (recorded && recorded->transfer == Transfer::kCompleted) {
            std::copy_n(recorded->out.begin(), std::min(recorded->out.size(), report.size()),
                        report.begin());
        }
        return Finished(recorded, timeout_ms);
    }

  private:
    // After a stop nothing answers: the transfer times out, as to a unit that has gone.
    Transfer Finished(const Call* recorded, std::uint32_t timeout_ms) {
        if (recorded) return recorded->transfer;
        replayer_.Pass(timeout_ms);
        return Transfer::kTimedOut;
    }

    Replayer& replayer_;
    const int handle_;
};

}  // namespace

void ReplayClock::Sleep(std::uint32_t ms) {
    Call made = Made(CallKind::kSleep, 0);
    made.ms = ms;
    if (!replayer_.Answer(made)) replayer_.Pass(ms);
}

std::unique_ptr<DriverDevice> ReplayAppDriver::Open(const std::string& name) {
    Call made = Made(CallKind::kDriverOpen, 0);
    made.name = name;
    const Call* recorded = replayer_.Answer(made);
    if (!recorded || recorded->handle == 0) return nullptr;
    return std::make_unique<ReplayDriverDevice>(replayer_, recorded->handle);
}

std::optional<std::string> ReplayHidBus::InterfacePath(std::size_t index) {
    Call made = Made(CallKind::kHidPath, 0);
    made.index = index;
    const Call* recorded = replayer_.Answer(made);
    if (!recorded || !recorded->path) return std::nullopt;
    return std::string(kPathPrefix) + std::to_string(*recorded->path);
}

namespace {

// The call's path: the number this replay gave it, or, for a path it never gave, its name (which
// no recorded call can match).
void PathOf(const std::string& path, Call& made) {
    int number = 0;
    const char* digits = path.data() + std::min(path.size(), kPathPrefix.size());
    const auto [end, error] = std::from_chars(digits, path.data() + path.size(), number);
    if (path.rfind(kPathPrefix, 0) == 0 && error == std::errc() &&
        end == path.data() + path.size()) {
        made.path = number;
    } else {
        made.name = path;
    }
}

}  // namespace

std::unique_ptr<HidDevice> ReplayHidBus::Open(const std::string& path) {
    Call made = Made(CallKind::kHidOpen, 0);
    PathOf(path, made);
    const Call* recorded = replayer_.Answer(made);
    if (!recorded || recorded->handle == 0) return nullptr;
    return std::make_unique<ReplayHidDevice>(replayer_, recorded->handle);
}

std::optional<HidAttributes> ReplayHidBus::Inspect(const std::string& path) {
    Call made = Made(CallKind::kHidInspect, 0);
    PathOf(path, made);
    const Call* recorded = replayer_.Answer(made);
    if (!recorded || !recorded->ok) return std::nullopt;
    return recorded->attributes;
}

TracedWindowView::RunBegins ReplayRuns(Replayer& replayer) {
    return [&replayer](bool force_checked) {
        Call made = Made(CallKind::kStart, 0);
        made.ok = force_checked;
        replayer.Answer(made);
    };
}

}  // namespace qvt::trace
