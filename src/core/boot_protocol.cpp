#include "boot_protocol.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "texts.h"

namespace qvt {
namespace {

// What erased flash reads back as, indexed like the image.
const FlashBytes kErasedFlash = [] {
    FlashBytes erased{};
    erased.fill(0xFF);
    return erased;
}();

std::string FormatCounts(const char* format, int device_count, int accepted) {
    std::array<char, 96> line{};
    std::snprintf(line.data(), line.size(), format, device_count, accepted);
    return line.data();
}

std::string WithNumber(std::string_view prefix, long long number) {
    return std::string(prefix) + std::to_string(number);
}

}  // namespace

bool BootProtocol::OpenHid(std::int32_t expected, const SearchLog& log) {
    int searches = 0;
    discovery_ = Discovery::kFound;
    while (!link_.FindBootLoaders(expected)) {
        // More boot loaders than the unit's own: no search will find the one to work with
        // until a person takes the others away, which the run's end asks for.
        if (expected > 0 && link_.boot_loaders_seen() > expected) {
            discovery_ = Discovery::kSeveral;
            break;
        }
        if (done_waiting_ && done_waiting_()) {
            discovery_ = Discovery::kAbandoned;
            break;
        }
        clock_.Sleep(kSearchIntervalMs);
        progress_.Pump();  // the window answers between two searches
        if (++searches == kBootLoaderSearches) {
            discovery_ = Discovery::kGaveUp;
            break;
        }
    }
    searches_ = searches;
    progress_.AppendLog(WithNumber(log.count, searches));
    if (discovery_ == Discovery::kSeveral) {
        progress_.AppendLog(FormatCounts(log.several, link_.boot_loaders_seen(), expected));
        return false;
    }
    if (discovery_ == Discovery::kAbandoned) return false;
    if (discovery_ == Discovery::kGaveUp) {
        progress_.ShowMessage(text::kBootLoaderNotFound);
        progress_.AppendLog(log.gave_up);
        return false;
    }
    clock_.Sleep(kBeforeFirstReportMs);
    return true;
}

BootLoaderLink::Exchange BootProtocol::ReadExchange(BootCommandReport& request,
                                                    BootReplyReport& reply, std::uint32_t address,
                                                    std::size_t count,
                                                    const std::uint8_t* expected) {
    request.set_address(address);
    // A chunk that brought no reply is a difference: the buffer still holds an older reply,
    // and a stale run of 0xFF must not pass for erased or programmed flash.
    return link_.ExchangeWithEvery(request.bytes, reply.bytes, [&] {
        return std::equal(expected, expected + count, reply.data().begin());
    });
}

std::optional<BootProtocol::Failed> BootProtocol::ReadPass(BootCommandReport& request,
                                                           BootReplyReport& reply,
                                                           const FlashBytes& expected) {
    using Exchange = BootLoaderLink::Exchange;
    for (std::uint32_t address = kFlashFirstAddress; address < kFlashEndAddress;
         address += kChunkSize) {
        // The short last chunk compares only its own bytes.
        const std::size_t count = std::min<std::size_t>(kChunkSize, kFlashEndAddress - address);
        const Exchange exchange = ReadExchange(request, reply, address, count, &expected[address]);
        if (exchange != Exchange::kMatched) {
            return Failed{address, exchange == Exchange::kDiffered ? Verification::kDisproved
                                                                   : Verification::kInterrupted};
        }
    }
    clock_.Sleep(kPassPauseMs);
    return std::nullopt;
}

BootProtocol::Verification BootProtocol::ReadBack(BootCommandReport& request,
                                                  const FlashBytes& expected,
                                                  std::string_view failure_message,
                                                  std::string_view failed_at_log) {
    BootReplyReport reply;
    for (int pass = 0; pass < kReadPasses; ++pass) {
        if (const auto failed = ReadPass(request, reply, expected)) {
            progress_.ShowMessage(failure_message);
            link_.CloseBootLoaders();
            progress_.AppendLog(WithNumber(failed_at_log, failed->address));
            return failed->how;
        }
    }
    return Verification::kPassed;
}

bool BootProtocol::EraseDevice(std::int32_t expected) {
    progress_.ShowMessage(text::kEraseStart);
    progress_.AdvanceProgress();
    if (!OpenHid(expected,
                 {logtext::kEraseCount, logtext::kEraseGaveUp, logtext::kEraseSeveralFormat})) {
        return false;
    }

    BootCommandReport report;
    report.set_command(BOOT_CMD_ERASE);
    int accepted = 0;
    for (int pass = 0; pass < kErasePasses; ++pass) {
        accepted = link_.SendToEvery(report.bytes);  // only the last pass decides
        clock_.Sleep(kPassPauseMs);
    }
    link_.CloseBootLoaders();

    if (accepted == link_.boot_loader_count()) {
        progress_.ShowMessage(text::kEraseDone);
        link_.SettleWait();
        progress_.AdvanceProgress();
        return true;
    }
    progress_.AppendLog(
        FormatCounts(logtext::kEraseFailedFormat, link_.boot_loader_count(), accepted));
    progress_.ShowMessage(text::kEraseError);
    return false;
}

bool BootProtocol::BlankCheck(std::int32_t expected) {
    progress_.ShowMessage(text::kBlankStart);
    progress_.AdvanceProgress();
    if (!OpenHid(expected,
                 {logtext::kBlankCount, logtext::kBlankGaveUp, logtext::kBlankSeveralFormat})) {
        return false;
    }

    BootCommandReport request;
    request.set_command(BOOT_CMD_READ);
    request.set_length(kChunkSize);
    if (ReadBack(request, kErasedFlash, text::kBlankError, logtext::kBlankFailedAt) !=
        Verification::kPassed) {
        return false;
    }
    link_.CloseBootLoaders();
    progress_.ShowMessage(text::kBlankDone);
    progress_.AdvanceProgress();
    link_.SettleWait();
    return true;
}

bool BootProtocol::SendImage(std::int32_t expected) {
    progress_.ShowMessage(text::kProgramStart);
    progress_.AdvanceProgress();
    // Always program freshly decoded bytes. An image that no longer loads is never replaced by
    // the 0xFF fill on the unit: the step fails, and the unit keeps its erased flash.
    loader_.FillFirmwareImage();
    if (!loader_.LoadFirmwareImage()) {
        progress_.ShowMessage(text::kImageError);
        progress_.AppendLog(logtext::kProgramImageError);
        return false;
    }
    if (!OpenHid(expected, {logtext::kProgramCount, logtext::kProgramGaveUp,
                            logtext::kProgramSeveralFormat})) {
        return false;
    }

    BootCommandReport& report = program_report_;
    report = BootCommandReport{};
    report.set_command(BOOT_CMD_PROGRAM);
    report.set_length(kChunkSize);
    progress_.Pump();
    const auto& program = image_.program;
    for (int pass = 0; pass < kProgramPasses; ++pass) {
        report.set_length(kChunkSize);
        std::size_t fill = 0;
        for (std::uint32_t address = kFlashFirstAddress; address < kFlashEndAddress; ++address) {
            if (fill == 0) report.set_address(address);
            report.data()[fill++] = program[address];
            if (fill == kChunkSize) {
                link_.SendToEvery(report.bytes);
                fill = 0;
            }
            progress_.Pump();
        }
        // The short last chunk: its tail still holds bytes of the report before it.
        report.set_length(static_cast<std::uint8_t>(fill));
        link_.SendToEvery(report.bytes);
        clock_.Sleep(kPassPauseMs);
    }
    report.set_command(BOOT_CMD_PROGRAM_END);
    const int ended = link_.SendToEvery(report.bytes);
    progress_.Pump();
    if (ended != link_.boot_loader_count()) {
        // A unit that never took the end report keeps its boot loader: the image it holds is
        // never started, however well it reads back.
        progress_.AppendLog(
            FormatCounts(logtext::kProgramEndFailedFormat, link_.boot_loader_count(), ended));
        link_.CloseBootLoaders();
        return false;
    }
    return true;
}

void BootProtocol::FinishProgramming() {
    progress_.ShowMessage(text::kProgramDone);
    progress_.AdvanceProgress();
    link_.SettleWait();
}

bool BootProtocol::Verify() {
    progress_.ShowMessage(text::kVerifyStart);
    progress_.AdvanceProgress();
    BootCommandReport& report = program_report_;
    report.set_command(BOOT_CMD_READ);
    report.set_length(kChunkSize);
    verification_ = ReadBack(report, image_.program, text::kVerifyError, logtext::kProgramFailedAt);
    if (verification_ != Verification::kPassed) return false;
    link_.CloseBootLoaders();
    progress_.ShowMessage(text::kVerifyDone);
    progress_.AdvanceProgress();
    link_.SettleWait();
    return true;
}

BootProtocol::ResetSent BootProtocol::SendReset(std::int32_t expected) {
    progress_.ShowMessage(text::kResetStart);
    progress_.AdvanceProgress();
    progress_.Pump();
    if (!OpenHid(expected,
                 {logtext::kResetCount, logtext::kResetGaveUp, logtext::kResetSeveralFormat})) {
        return {};
    }

    BootCommandReport report;
    report.set_command(BOOT_CMD_RESET);
    return {true, link_.SendToEvery(report.bytes)};
}

bool BootProtocol::FinishReset(const ResetSent& sent) {
    if (!sent.found) return false;
    const int accepted = sent.accepted;
    progress_.Pump();
    link_.CloseBootLoaders();

    if (accepted == link_.boot_loader_count()) {
        progress_.ShowMessage(text::kResetDone);
        progress_.AdvanceProgress();
        link_.SettleWait();
        return true;
    }
    progress_.ShowMessage(text::kResetError);
    progress_.AppendLog(
        FormatCounts(logtext::kResetFailedFormat, link_.boot_loader_count(), accepted));
    return false;
}

}  // namespace qvt
