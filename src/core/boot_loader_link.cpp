#include "boot_loader_link.h"

namespace qvt {

bool BootLoaderLink::FindBootLoaders() {
    kept_.reset();
    std::int32_t matches = 0;
    for (std::size_t index = 0;; ++index) {
        Opened opened = OpenBootLoader(index);
        if (opened.outcome == OpenOutcome::kEnd) break;
        if (opened.outcome == OpenOutcome::kInvalid) continue;
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
    if (expected_count_ > 0 && expected_count_ != matches) {
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
    if (!device) return {OpenOutcome::kInvalid, nullptr};
    return {OpenOutcome::kOpen, std::move(device)};
}

bool BootLoaderLink::IsBootLoader(HidDevice& device) {
    HidAttributes attributes;
    if (!device.GetAttributes(attributes)) return false;
    // Either ID alone makes a boot loader: units have shipped with the maker's vendor ID and
    // with the boot loader's product ID under another vendor.
    return attributes.vendor_id == kBootLoaderVendorId ||
           attributes.product_id == kBootLoaderProductId;
}

// The device number mirrors the callers' loop over the boot-loader count; every transfer goes
// to the one kept device, as it always has.
bool BootLoaderLink::WriteBootReport(std::span<const std::uint8_t, kReportSize> report, int) {
    if (!kept_) return false;
    // A write that fails or completes with an error was not accepted, however fast it ended.
    return kept_->Write(report, kWriteTimeoutMs) == Transfer::kCompleted;
}

bool BootLoaderLink::ReadBootReport(std::span<std::uint8_t, kReportSize> reply, int) {
    if (!kept_) return false;
    // No reply within the bound is reported as such, so the previous reply is never taken for
    // this one.
    return kept_->Read(reply, kReadTimeoutMs) == Transfer::kCompleted;
}

bool BootLoaderLink::ProbeBootMode() {
    boot_loader_count_ = 0;
    const bool found = FindBootLoaders();
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
