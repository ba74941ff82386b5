#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "clock.h"
#include "hid_bus.h"
#include "message_pump.h"

namespace qvt {

inline constexpr std::uint16_t kBootLoaderVendorId = 0x1232;
inline constexpr std::uint16_t kBootLoaderProductId = 0x0103;
// The boot switch and each procedure look for the boot loader up to this many times, a second
// apart, before they give up.
inline constexpr int kBootLoaderSearches = 200;
inline constexpr std::uint32_t kSearchIntervalMs = 1000;
inline constexpr std::uint32_t kWriteTimeoutMs = 1000;
inline constexpr std::uint32_t kReadTimeoutMs = 50;
inline constexpr int kSettleSleeps = 30;
inline constexpr std::uint32_t kSettleSleepMs = 50;

// The boot loader seen as a HID device: discovery, a kept handle and bounded report transfers.
// Its waits pump through the one pump it is built with.
class BootLoaderLink {
  public:
    BootLoaderLink(HidBus& bus, Clock& clock, MessagePump& pump)
        : bus_(bus), clock_(clock), pump_(pump) {}

    // What OpenBootLoader found at an index: an open interface, one that would not open, or
    // the end of the enumeration.
    enum class Opening { kOpen, kInvalid, kEnd };
    struct Opened {
        Opening opening = Opening::kEnd;
        std::unique_ptr<HidDevice> device;
    };

    // True when at least one boot loader was found and their number is `expected` (0: any
    // number); the window's logic decides what it expects. The kept handle is then open.
    bool FindBootLoaders(std::int32_t expected);
    void CloseBootLoaders();
    Opened OpenBootLoader(std::size_t index);
    static bool IsBootLoader(HidDevice& device);
    static bool IsBootLoader(const HidAttributes& attributes);
    // From now on every search reads what the interfaces declare without opening one, and
    // keeps nothing: no report can reach a unit (a check that must change nothing).
    void InspectOnly() { inspect_only_ = true; }
    // One report to the kept boot loader within its bound; true when it was accepted.
    bool WriteBootReport(std::span<const std::uint8_t, kReportSize> report);
    // One reply from the kept boot loader within its bound. True only when a reply arrived;
    // otherwise `reply` is left exactly as it was, whatever the bus wrote into its own buffer.
    bool ReadBootReport(std::span<std::uint8_t, kReportSize> reply);
    // The report once for every boot loader the search counted (each goes to the kept one, as
    // the product has always sent them); how many were accepted.
    int SendToEvery(std::span<const std::uint8_t, kReportSize> report);
    // How a request and its reply went: the reply matched, came and differed, or never came.
    enum class Exchange { kMatched, kDiffered, kNoReply };
    // A request and its reply once for every boot loader counted, pumping after each reply that
    // `matches` accepts; it stops at the first missing or refused reply.
    Exchange ExchangeWithEvery(std::span<const std::uint8_t, kReportSize> request,
                               std::span<std::uint8_t, kReportSize> reply,
                               const std::function<bool()>& matches);
    // Tells whether a boot loader is present, searching as FindBootLoaders does; leaves no
    // handle open.
    bool ProbeBootMode(std::int32_t expected);
    // About 1.5 seconds in 50 ms sleeps, pumping after each.
    void SettleWait();

    std::int32_t boot_loader_count() const { return boot_loader_count_; }
    // Every boot loader the last search saw, also when their number was not the one expected
    // (the search then reports none to work with, though they are there).
    std::int32_t boot_loaders_seen() const { return seen_count_; }
    bool HoldsHandle() const { return kept_ != nullptr; }

  private:
    HidBus& bus_;
    Clock& clock_;
    MessagePump& pump_;
    std::unique_ptr<HidDevice> kept_;
    bool inspect_only_ = false;
    std::int32_t boot_loader_count_ = 0;
    std::int32_t seen_count_ = 0;
};

}  // namespace qvt
