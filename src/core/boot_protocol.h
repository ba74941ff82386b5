#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "boot_loader_link.h"
#include "boot_reports.h"
#include "clock.h"
#include "firmware_image.h"
#include "progress_port.h"

namespace qvt {

inline constexpr std::uint32_t kBeforeFirstReportMs = 1000;
inline constexpr std::uint32_t kPassPauseMs = 500;
inline constexpr int kErasePasses = 3;
inline constexpr int kProgramPasses = 3;
inline constexpr int kReadPasses = 2;
// The range walk's chunks: 348 full ones and the short one at 0x5FD8.
inline constexpr int kChunksPerPass =
    static_cast<int>((kFlashEndAddress - kFlashFirstAddress + kChunkSize - 1) / kChunkSize);
static_assert(kChunksPerPass == 349);

using FlashBytes = std::array<std::uint8_t, kProgramAreaSize>;

// The four boot-loader procedures. Each waits for the boot loader (as many as `expected`, 0
// for any number), runs its commands, closes the handle and reports its outcome as its result,
// a message, log lines and the bar's steps through its progress port; the run decides what follows.
class BootProtocol {
  public:
    BootProtocol(BootLoaderLink& link, FirmwareImageLoader& loader, const FirmwareImage& image,
                 Clock& clock, ProgressPort& progress)
        : link_(link), loader_(loader), image_(image), clock_(clock), progress_(progress) {}

    // How the last procedure's wait for its boot loader ended: found; given up after its
    // searches; ended at once on more boot loaders than expected, or because the run saw
    // meanwhile that it waits for nothing.
    enum class Discovery : std::uint8_t { kFound, kGaveUp, kSeveral, kAbandoned };
    // What the last verification came to: the image read back, a reply that differed from it,
    // or a reply that never came (the unit left or stopped answering; nothing was disproved).
    enum class Verification : std::uint8_t { kPassed, kDisproved, kInterrupted };

    // Asked after each search that found no boot loader: true ends the wait at once.
    void WhileWaiting(std::function<bool()> done_waiting) {
        done_waiting_ = std::move(done_waiting);
    }
    Discovery last_discovery() const { return discovery_; }
    // The searches the last wait made before it ended: 0 when the boot loader was there at once.
    int last_searches() const { return searches_; }
    Verification last_verification() const { return verification_; }

    bool EraseDevice(std::int32_t expected);
    bool BlankCheck(std::int32_t expected);
    // ProgramVerify's two halves, which the run takes as two phases. Programming sends the
    // freshly reloaded image (an image that does not reload fails before any report) and
    // fails when a boot loader refuses its end report, without which the unit starts no
    // application; verification reads it back from the boot loaders that programming found.
    bool Program(std::int32_t expected) {
        if (!SendImage(expected)) return false;
        FinishProgramming();
        return true;
    }
    bool Verify();
    bool ProgramVerify(std::int32_t expected) { return Program(expected) && Verify(); }
    // Programming's two halves, so that the run can count the units the moment the end report
    // has gone out: the image and its end, then the message, the bar and the settle wait.
    bool SendImage(std::int32_t expected);
    void FinishProgramming();
    // ResetDevice's two halves: the reports go out, then the run counts what they reached
    // before anything else (a pump, the handle's close) can happen, then the reset is judged.
    struct ResetSent {
        bool found = false;  // a boot loader was there to send the reset to
        int accepted = 0;
    };
    ResetSent SendReset(std::int32_t expected);
    bool FinishReset(const ResetSent& sent);
    bool ResetDevice(std::int32_t expected) { return FinishReset(SendReset(expected)); }

  private:
    struct SearchLog {
        std::string_view count;
        std::string_view gave_up;
        const char* several;  // format: the boot loaders seen, then the ones expected
    };
    // The discovery wait that opens each procedure: searches a second apart until the boot
    // loader is there (its handle then kept), at most 200 of them.
    bool OpenHid(std::int32_t expected, const SearchLog& log);
    // Two passes of the range walk against flash-indexed expected bytes. On a difference or a
    // missing reply: the failure message, the handle closed, then the chunk's address logged.
    Verification ReadBack(BootCommandReport& request, const FlashBytes& expected,
                          std::string_view failure_message, std::string_view failed_at_log);
    struct Failed {
        std::uint32_t address;
        Verification how;
    };
    // One pass; the failing chunk's address and how it failed, if any.
    std::optional<Failed> ReadPass(BootCommandReport& request, BootReplyReport& reply,
                                   const FlashBytes& expected);
    BootLoaderLink::Exchange ReadExchange(BootCommandReport& request, BootReplyReport& reply,
                                          std::uint32_t address, std::size_t count,
                                          const std::uint8_t* expected);

    BootLoaderLink& link_;
    // ProgramVerify's one report buffer: the verification's read requests go out in the
    // buffer programming left, its data bytes those of the last program report, as the
    // device has always been sent them.
    BootCommandReport program_report_;
    Discovery discovery_ = Discovery::kFound;
    int searches_ = 0;
    Verification verification_ = Verification::kPassed;
    std::function<bool()> done_waiting_;
    FirmwareImageLoader& loader_;
    const FirmwareImage& image_;
    Clock& clock_;
    ProgressPort& progress_;
};

}  // namespace qvt
