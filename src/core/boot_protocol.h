#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "boot_loader_link.h"
#include "boot_reports.h"
#include "clock.h"
#include "firmware_image.h"
#include "form_model.h"

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
// a message, log lines and the bar's steps on the form; the run decides what follows.
class BootProtocol {
  public:
    BootProtocol(BootLoaderLink& link, FirmwareImageLoader& loader, const FirmwareImage& image,
                 Clock& clock, FormModel& form)
        : link_(link), loader_(loader), image_(image), clock_(clock), form_(form) {}

    bool EraseDevice(std::int32_t expected);
    bool BlankCheck(std::int32_t expected);
    // ProgramVerify's two halves, which the run takes as two phases. Programming sends the
    // freshly reloaded image (an image that does not reload fails before any report);
    // verification reads it back from the boot loaders that programming found.
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
    // Whether every boot loader the last programming found accepted its end report: the unit
    // then holds the whole image, and starts it when it next restarts.
    bool programming_ended() const { return programming_ended_; }
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
    };
    bool WaitForBootLoader(std::int32_t expected, const SearchLog& log);
    // Two passes of the range walk against flash-indexed expected bytes. On a difference: the
    // failure message, the handle closed, then the chunk's address logged.
    bool ReadBack(BootCommandReport& request, const FlashBytes& expected,
                  std::string_view failure_message, std::string_view failed_at_log);
    // One pass; the failing chunk's address, if any.
    std::optional<std::uint32_t> ReadPass(BootCommandReport& request, BootReplyReport& reply,
                                          const FlashBytes& expected);
    bool ReadExchange(BootCommandReport& request, BootReplyReport& reply, std::uint32_t address,
                      std::size_t count, const std::uint8_t* expected);

    BootLoaderLink& link_;
    // ProgramVerify's one report buffer: the verification's read requests go out in the
    // buffer programming left, its data bytes those of the last program report, as the
    // device has always been sent them.
    BootCommandReport program_report_;
    bool programming_ended_ = false;
    FirmwareImageLoader& loader_;
    const FirmwareImage& image_;
    Clock& clock_;
    FormModel& form_;
};

}  // namespace qvt
