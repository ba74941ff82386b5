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

bool BootProtocol::WaitForBootLoader(FormDisplay& display, const SearchLog& log) {
    int searches = 0;
    while (!link_.FindBootLoaders()) {
        clock_.Sleep(kSearchIntervalMs);
        display.Pump();  // the window answers between two searches
        if (++searches == kBootLoaderSearches) break;
    }
    display.AppendLog(WithNumber(log.count, searches));
    if (searches == kBootLoaderSearches) {
        display.ShowMessage(text::kBootLoaderNotFound);
        display.AppendLog(log.gave_up);
        return false;
    }
    clock_.Sleep(kBeforeFirstReportMs);
    return true;
}

bool BootProtocol::ReadExchange(FormDisplay& display, BootCommandReport& request,
                                BootReplyReport& reply, std::uint32_t address, std::size_t count,
                                const std::uint8_t* expected) {
    request.set_address(address);
    // A chunk that brought no reply is a difference: the buffer still holds an older reply,
    // and a stale run of 0xFF must not pass for erased or programmed flash.
    return link_.ExchangeWithEvery(request.bytes, reply.bytes, display, [&] {
        return std::equal(expected, expected + count, reply.data().begin());
    });
}

std::optional<std::uint32_t> BootProtocol::ReadPass(FormDisplay& display,
                                                    BootCommandReport& request,
                                                    BootReplyReport& reply,
                                                    const FlashBytes& expected) {
    std::uint32_t address = kFlashFirstAddress;
    for (; address + kChunkSize < kFlashEndAddress; address += kChunkSize) {
        if (!ReadExchange(display, request, reply, address, kChunkSize, &expected[address])) {
            return address;
        }
    }
    if (address < kFlashEndAddress &&
        !ReadExchange(display, request, reply, address, kFlashEndAddress - address,
                      &expected[address])) {
        return address;
    }
    clock_.Sleep(kPassPauseMs);
    return std::nullopt;
}

bool BootProtocol::ReadBack(FormDisplay& display, BootCommandReport& request,
                            const FlashBytes& expected, std::string_view failure_message,
                            std::string_view failed_at_log) {
    BootReplyReport reply;
    for (int pass = 0; pass < kReadPasses; ++pass) {
        if (const auto failed_at = ReadPass(display, request, reply, expected)) {
            display.ShowMessage(failure_message);
            link_.CloseBootLoaders();
            display.AppendLog(WithNumber(failed_at_log, *failed_at));
            return false;
        }
    }
    return true;
}

bool BootProtocol::EraseDevice(FormDisplay& display) {
    display.ShowMessage(text::kEraseStart);
    display.AdvanceProgress();
    if (!WaitForBootLoader(display, {logtext::kEraseCount, logtext::kEraseGaveUp})) return false;

    BootCommandReport report;
    report.set_command(BootCommand::kErase);
    int accepted = 0;
    for (int pass = 0; pass < kErasePasses; ++pass) {
        accepted = link_.SendToEvery(report.bytes);  // only the last pass decides
        clock_.Sleep(kPassPauseMs);
    }
    link_.CloseBootLoaders();

    if (accepted == link_.boot_loader_count()) {
        display.ShowMessage(text::kEraseDone);
        link_.SettleWait();
        display.AdvanceProgress();
        return true;
    }
    display.AppendLog(
        FormatCounts(logtext::kEraseFailedFormat, link_.boot_loader_count(), accepted));
    display.ShowMessage(text::kEraseError);
    return false;
}

bool BootProtocol::BlankCheck(FormDisplay& display) {
    display.ShowMessage(text::kBlankStart);
    display.AdvanceProgress();
    if (!WaitForBootLoader(display, {logtext::kBlankCount, logtext::kBlankGaveUp})) return false;

    BootCommandReport request;
    request.set_command(BootCommand::kRead);
    request.set_length(kChunkSize);
    if (!ReadBack(display, request, kErasedFlash, text::kBlankError, logtext::kBlankFailedAt)) {
        return false;
    }
    link_.CloseBootLoaders();
    display.ShowMessage(text::kBlankDone);
    display.AdvanceProgress();
    link_.SettleWait();
    return true;
}

bool BootProtocol::SendImage(FormDisplay& display) {
    display.ShowMessage(text::kProgramStart);
    display.AdvanceProgress();
    programming_ended_ = false;
    // Always program freshly decoded bytes. An image that no longer loads is never replaced by
    // the 0xFF fill on the unit: the step fails, and the unit keeps its erased flash.
    loader_.FillFirmwareImage();
    if (!loader_.LoadFirmwareImage()) {
        display.ShowMessage(text::kImageError);
        display.AppendLog(logtext::kProgramImageError);
        return false;
    }
    if (!WaitForBootLoader(display, {logtext::kProgramCount, logtext::kProgramGaveUp}))
        return false;

    BootCommandReport& report = program_report_;
    report = BootCommandReport{};
    report.set_command(BootCommand::kProgram);
    report.set_length(kChunkSize);
    display.Pump();
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
            display.Pump();
        }
        // The short last chunk: its tail still holds bytes of the report before it.
        report.set_length(static_cast<std::uint8_t>(fill));
        link_.SendToEvery(report.bytes);
        clock_.Sleep(kPassPauseMs);
    }
    report.set_command(BootCommand::kProgramEnd);
    programming_ended_ = link_.SendToEvery(report.bytes) == link_.boot_loader_count();
    display.Pump();
    return true;
}

void BootProtocol::FinishProgramming(FormDisplay& display) {
    display.ShowMessage(text::kProgramDone);
    display.AdvanceProgress();
    link_.SettleWait();
}

bool BootProtocol::Verify(FormDisplay& display) {
    display.ShowMessage(text::kVerifyStart);
    display.AdvanceProgress();
    BootCommandReport& report = program_report_;
    report.set_command(BootCommand::kRead);
    report.set_length(kChunkSize);
    if (!ReadBack(display, report, image_.program, text::kVerifyError, logtext::kProgramFailedAt)) {
        return false;
    }
    link_.CloseBootLoaders();
    display.ShowMessage(text::kVerifyDone);
    display.AdvanceProgress();
    link_.SettleWait();
    return true;
}

BootProtocol::ResetSent BootProtocol::SendReset(FormDisplay& display) {
    display.ShowMessage(text::kResetStart);
    display.AdvanceProgress();
    display.Pump();
    if (!WaitForBootLoader(display, {logtext::kResetCount, logtext::kResetGaveUp})) return {};

    BootCommandReport report;
    report.set_command(BootCommand::kReset);
    return {true, link_.SendToEvery(report.bytes)};
}

bool BootProtocol::FinishReset(FormDisplay& display, const ResetSent& sent) {
    if (!sent.found) return false;
    const int accepted = sent.accepted;
    display.Pump();
    link_.CloseBootLoaders();

    if (accepted == link_.boot_loader_count()) {
        display.ShowMessage(text::kResetDone);
        display.AdvanceProgress();
        link_.SettleWait();
        return true;
    }
    display.ShowMessage(text::kResetError);
    display.AppendLog(
        FormatCounts(logtext::kResetFailedFormat, link_.boot_loader_count(), accepted));
    return false;
}

}  // namespace qvt
