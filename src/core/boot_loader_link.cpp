#include "boot_loader_link.h"

#include <algorithm>
#include <array>

namespace qvt {

bool BootLoaderLink::FindBootLoaders(std::int32_t expected) {
    kept_.reset();
    std::int32_t matches = 0;
    for (std::size_t index = 0; inspect_only_; ++index) {
        const auto path = bus_.InterfacePath(index);
        if (!path) break;
        const auto attributes = bus_.Inspect(*path);
        if (attributes && IsBootLoader(*attributes)) ++matches;
    }
    for (std::size_t index = 0; !inspect_only_; ++index) {
        Opened opened = OpenBootLoader(index);
        if (opened.opening == Opening::kEnd) break;
        if (opened.opening == Opening::kInvalid) continue;
        if (!IsBootLoader(*opened.device)) continue;  // closed as it goes out of scope
        // The second match replaces the first as the kept one; later matches are only counted.
        if (matches < 2) kept_ = std::move(opened.device);
        ++matches;
    }
    seen_count_ = matches;
    if (matches == 0) {
        boot_loader_count_ = 0;
        return false;
    }
    if (expected > 0 && expected != matches) {
        kept_.reset();
        boot_loader_count_ = 0;
        return false;
    }
    boot_loader_count_ = matches;
    return true;
}

void BootLoaderLink::CloseBootLoaders() {
    kept_.reset();
}

BootLoaderLink::Opened BootLoaderLink::OpenBootLoader(std::size_t index) {
    const auto path = bus_.InterfacePath(index);
    if (!path) return {};
    auto device = bus_.Open(*path);
    if (!device) return {Opening::kInvalid, nullptr};
    return {Opening::kOpen, std::move(device)};
}

bool BootLoaderLink::IsBootLoader(HidDevice& device) {
    HidAttributes attributes;
    return device.GetAttributes(attributes) && IsBootLoader(attributes);
}

bool BootLoaderLink::IsBootLoader(const HidAttributes& attributes) {
    // Either ID alone makes a boot loader: units have shipped with the maker's vendor ID and
    // with the boot loader's product ID under another vendor.
    return attributes.vendor_id == kBootLoaderVendorId ||
           attributes.product_id == kBootLoaderProductId;
}

bool BootLoaderLink::WriteBootReport(std::span<const std::uint8_t, kReportSize> report) {
    if (!kept_) return false;
    // A write that fails or completes with an error was not accepted, however fast it ended.
    return kept_->Write(report, kWriteTimeoutMs) == Transfer::kCompleted;
}

bool BootLoaderLink::ReadBootReport(std::span<std::uint8_t, kReportSize> reply) {
    if (!kept_) return false;
    // The bus may write into its buffer however a read ends; only a reply that arrived reaches
    // the caller's, so the previous reply is never taken for this one.
    std::array<std::uint8_t, kReportSize> arrived = {};
    const Transfer read = kept_->Read(arrived, kReadTimeoutMs);
    if (read != Transfer::kCompleted) return false;
    std::copy(arrived.begin(), arrived.end(), reply.begin());
    return true;
}

int BootLoaderLink::SendToEvery(std::span<const std::uint8_t, kReportSize> report) {
    int accepted = 0;
    for (int d = 0; d < boot_loader_count_; ++d) {
        if (WriteBootReport(report)) ++accepted;
    }
    return accepted;
}

BootLoaderLink::Exchange BootLoaderLink::ExchangeWithEvery(
    std::span<const std::uint8_t, kReportSize> request, std::span<std::uint8_t, kReportSize> reply,
    const std::function<bool()>& matches) {
    for (int d = 0; d < boot_loader_count_; ++d) {
        WriteBootReport(request);
        if (!ReadBootReport(reply)) return Exchange::kNoReply;
        if (!matches()) return Exchange::kDiffered;
        pump_.Pump();
    }
    return Exchange::kMatched;
}

bool BootLoaderLink::ProbeBootMode(std::int32_t expected) {
    boot_loader_count_ = 0;
    const bool found = FindBootLoaders(expected);
    CloseBootLoaders();
    if (found) SettleWait();
    pump_.Pump();
    return found;
}

void BootLoaderLink::SettleWait() {
    for (int i = 0; i < kSettleSleeps; ++i) {
        clock_.Sleep(kSettleSleepMs);
        pump_.Pump();
    }
}

}  // namespace qvt
