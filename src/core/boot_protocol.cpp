#include "boot_protocol.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "texts.h"

namespace qvt {
namespace {

constexpr std::uint32_t kPassPauseMs = 500;
constexpr std::uint32_t kDiscoveryIntervalMs = 1000;
constexpr int kErasePasses = 3;
constexpr int kProgramPasses = 3;
constexpr int kReadPasses = 2;

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

bool BootProtocol::DiscoveryWait(Window& window, const DiscoveryLog& log) {
    int attempts = 0;
    while (!link_.FindBootLoaders()) {
        clock_.Sleep(kDiscoveryIntervalMs);
        window.Pump();
        if (++attempts == kDiscoveryTries) break;
    }
    window.AppendLog(WithNumber(log.count, attempts));
    if (attempts == kDiscoveryTries) {
        window.ShowMessage(text::kBootLoaderNotFound);
        window.UpdateState = 0;
        window.AppendLog(log.gave_up);
        return false;
    }
    clock_.Sleep(1000);
    return true;
}

int BootProtocol::SendToEvery(const BootCommandReport& report) {
    int accepted = 0;
    for (int d = 0; d < link_.boot_loader_count(); ++d) {
        if (link_.WriteBootReport(report.bytes, d)) ++accepted;
    }
    return accepted;
}

bool BootProtocol::ReadExchange(Window& window, BootCommandReport& request, BootReplyReport& reply,
                                std::uint32_t address, std::size_t count,
                                const std::uint8_t* expected) {
    request.set_address(address);
    for (int d = 0; d < link_.boot_loader_count(); ++d) {
        link_.WriteBootReport(request.bytes, d);
        // A chunk that brought no reply is a difference: the buffer still holds an older
        // reply, and a stale run of 0xFF must not pass for erased or programmed flash.
        const bool replied = link_.ReadBootReport(reply.bytes, d);
        if (!replied || !std::equal(expected, expected + count, reply.data().begin())) return false;
        window.Pump();
    }
    return true;
}

std::optional<std::uint32_t> BootProtocol::ReadPass(Window& window, BootCommandReport& request,
                                                    BootReplyReport& reply,
                                                    const FlashBytes& expected) {
    std::uint32_t address = kFlashFirstAddress;
    for (; address + kChunkSize < kFlashEndAddress; address += kChunkSize) {
        if (!ReadExchange(window, request, reply, address, kChunkSize, &expected[address])) {
            return address;
        }
    }
    if (address < kFlashEndAddress &&
        !ReadExchange(window, request, reply, address, kFlashEndAddress - address,
                      &expected[address])) {
        return address;
    }
    clock_.Sleep(kPassPauseMs);
    return std::nullopt;
}

bool BootProtocol::ReadBack(Window& window, BootCommandReport& request, const FlashBytes& expected,
                            std::string_view failure_message, std::string_view failed_at_log) {
    BootReplyReport reply;
    for (int pass = 0; pass < kReadPasses; ++pass) {
        if (const auto failed_at = ReadPass(window, request, reply, expected)) {
            window.ShowMessage(failure_message);
            window.UpdateState = 0;
            link_.CloseBootLoaders();
            window.AppendLog(WithNumber(failed_at_log, *failed_at));
            return false;
        }
    }
    return true;
}

bool BootProtocol::EraseDevice(Window& window) {
    window.UpdateState = 3;
    window.ShowMessage(text::kEraseStart);
    window.AdvanceProgress();
    if (!DiscoveryWait(window, {logtext::kEraseCount, logtext::kEraseGaveUp})) return false;

    BootCommandReport report;
    report.set_command(BOOT_CMD_ERASE);
    int accepted = 0;
    for (int pass = 0; pass < kErasePasses; ++pass) {
        accepted = SendToEvery(report);  // only the last pass decides
        clock_.Sleep(kPassPauseMs);
    }
    link_.CloseBootLoaders();

    if (accepted == link_.boot_loader_count()) {
        window.ShowMessage(text::kEraseDone);
        link_.SettleWait(window);
        window.AdvanceProgress();
        return true;
    }
    window.AppendLog(
        FormatCounts(logtext::kEraseFailedFormat, link_.boot_loader_count(), accepted));
    window.ShowMessage(text::kEraseError);
    window.UpdateState = 0;
    return false;
}

bool BootProtocol::BlankCheck(Window& window) {
    window.UpdateState = 4;
    window.ShowMessage(text::kBlankStart);
    window.AdvanceProgress();
    if (!DiscoveryWait(window, {logtext::kBlankCount, logtext::kBlankGaveUp})) return false;

    BootCommandReport request;
    request.set_command(BOOT_CMD_READ);
    request.set_length(kChunkSize);
    if (!ReadBack(window, request, kErasedFlash, text::kBlankError, logtext::kBlankFailedAt)) {
        return false;
    }
    link_.CloseBootLoaders();
    window.ShowMessage(text::kBlankDone);
    window.AdvanceProgress();
    link_.SettleWait(window);
    return true;
}

bool BootProtocol::ProgramVerify(Window& window) {
    window.UpdateState = 5;
    window.ShowMessage(text::kProgramStart);
    window.AdvanceProgress();
    // Always program freshly decoded bytes; if the reload fails, the 0xFF fill is what gets
    // programmed and what the verification expects.
    window.firmware.program.fill(0xFF);
    window.firmware.trailer.fill(0xFF);
    image_.LoadFirmwareImage(window);
    if (!DiscoveryWait(window, {logtext::kProgramCount, logtext::kProgramGaveUp})) return false;

    BootCommandReport report;
    report.set_command(BOOT_CMD_PROGRAM);
    report.set_length(kChunkSize);
    window.Pump();
    const auto& program = window.firmware.program;
    for (int pass = 0; pass < kProgramPasses; ++pass) {
        report.set_length(kChunkSize);
        std::size_t fill = 0;
        for (std::uint32_t address = kFlashFirstAddress; address < kFlashEndAddress; ++address) {
            if (fill == 0) report.set_address(address);
            report.data()[fill++] = program[address];
            if (fill == kChunkSize) {
                SendToEvery(report);
                fill = 0;
            }
            window.Pump();
        }
        // The short last chunk: its tail still holds bytes of the report before it.
        report.set_length(static_cast<std::uint8_t>(fill));
        SendToEvery(report);
        clock_.Sleep(kPassPauseMs);
    }
    report.set_command(BOOT_CMD_PROGRAM_END);
    SendToEvery(report);
    window.Pump();
    window.ShowMessage(text::kProgramDone);
    window.AdvanceProgress();
    link_.SettleWait(window);

    window.UpdateState = 6;
    window.ShowMessage(text::kVerifyStart);
    window.AdvanceProgress();
    report.set_command(BOOT_CMD_READ);
    report.set_length(kChunkSize);
    if (!ReadBack(window, report, program, text::kVerifyError, logtext::kProgramFailedAt)) {
        return false;
    }
    link_.CloseBootLoaders();
    window.ShowMessage(text::kVerifyDone);
    window.AdvanceProgress();
    link_.SettleWait(window);
    return true;
}

bool BootProtocol::ResetDevice(Window& window) {
    window.UpdateState = 7;
    window.ShowMessage(text::kResetStart);
    window.AdvanceProgress();
    window.Pump();
    if (!DiscoveryWait(window, {logtext::kResetCount, logtext::kResetGaveUp})) return false;

    BootCommandReport report;
    report.set_command(BOOT_CMD_RESET);
    const int accepted = SendToEvery(report);
    window.Pump();
    link_.CloseBootLoaders();

    if (accepted == link_.boot_loader_count()) {
        window.ShowMessage(text::kResetDone);
        window.AdvanceProgress();
        link_.SettleWait(window);
        return true;
    }
    window.ShowMessage(text::kResetError);
    window.AppendLog(
        FormatCounts(logtext::kResetFailedFormat, link_.boot_loader_count(), accepted));
    window.UpdateState = 0;
    return false;
}

}  // namespace qvt
