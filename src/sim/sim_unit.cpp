#include "sim_unit.h"

#include <algorithm>

#include "boot_reports.h"
#include "synthetic_firmware.h"

namespace qvt::sim {
namespace {

CommandFilter FilterOf(std::uint8_t command) {
    switch (static_cast<BootCommand>(command)) {
        case BootCommand::kErase:
            return CommandFilter::kErase;
        case BootCommand::kProgram:
            return CommandFilter::kProgram;
        case BootCommand::kProgramEnd:
            return CommandFilter::kProgramEnd;
        case BootCommand::kRead:
            return CommandFilter::kRead;
        case BootCommand::kReset:
            return CommandFilter::kReset;
    }
    return CommandFilter::kAny;  // an unknown code: only faults on any command count it
}

}  // namespace

SimUnit::SimUnit(std::size_t index, const UnitSetup& setup, const FaultBook& faults, Clock& clock,
                 RestartDelays delays)
    : index(index),
      driver_index(static_cast<int>(index)),
      faults_(faults),
      clock_(clock),
      delays_(delays) {
    flash = SynthesizeFirmware(setup.version.value_or(0)).program;
    if (!setup.version) std::fill(flash.begin() + kFlashFirstAddress, flash.end(), 0xFF);
    running_version = setup.version.value_or(0);
    state =
        setup.mode == UnitSetup::Mode::kApplication ? UnitState::kApplication : UnitState::kBoot;
}

void SimUnit::Advance() {
    if (restart_pending_ && !unplugged && clock_.NowMs() >= restart_at_ms_) FinishRestart();
}

std::optional<std::uint16_t> SimUnit::QueryVersion() const {
    if (faults_.VersionQueryFails(index)) return std::nullopt;
    return running_version;
}

void SimUnit::RequestBootMode() {
    ++boot_requests;
    if (!faults_.IgnoresBootRequest(index)) BeginRestart(UnitState::kBoot, delays_.boot_switch_ms);
}

Transfer SimUnit::Write(std::span<const std::uint8_t> report, std::uint32_t timeout_ms) {
    const std::uint8_t command = report[1];
    const long occurrence = ++writes_offered[command];
    long any_occurrence = 0;
    for (const auto& [code, count] : writes_offered) any_occurrence += count;
    const CommandFilter filter = FilterOf(command);
    if (faults_.RefusesWrite(index, filter, occurrence, any_occurrence)) {
        clock_.Sleep(timeout_ms);  // the transfer never completes and is cancelled
        return Transfer::kTimedOut;
    }
    if (faults_.FailsWrite(index, filter, occurrence, any_occurrence)) return Transfer::kFailed;
    Deliver(report);
    return Transfer::kCompleted;
}

void SimUnit::Deliver(std::span<const std::uint8_t> report) {
    ++reports_received[report[1]];
    history.emplace_back();
    std::copy(report.begin(), report.end(), history.back().begin());
    ++total_received;
    BootCommandReport request;
    std::copy(report.begin(), report.end(), request.bytes.begin());

    switch (request.command()) {
        case BootCommand::kErase:
            std::fill(flash.begin() + kFlashFirstAddress, flash.end(), 0xFF);
            break;
        case BootCommand::kProgram: {
            const std::size_t length = std::min<std::size_t>(request.length(), kChunkSize);
            for (std::size_t i = 0; i < length; ++i) {
                const std::uint32_t address = request.address() + static_cast<std::uint32_t>(i);
                // Flash programming only clears bits; the boot loader guards its own area.
                if (address >= kFlashFirstAddress && address < kFlashEndAddress) {
                    flash[address] &= request.data()[i];
                }
            }
            break;
        }
        case BootCommand::kRead:
            AnswerRead(request);
            break;
        case BootCommand::kReset:
            BeginRestart(UnitState::kApplication, delays_.reset_ms);
            break;
        case BootCommand::kProgramEnd:
            break;  // end of programming changes nothing here, nor do unknown commands
    }
    if (const auto after = faults_.UnplugAfter(index); after && total_received >= *after) {
        Unplug();
    }
}

void SimUnit::AnswerRead(const BootCommandReport& request) {
    const long number = ++read_requests;
    if (faults_.ReadIsSilent(index, number)) return;
    Reply reply;
    reply.available_at_ms = clock_.NowMs() + faults_.ReadDelayMs(index, number);
    // The reply's head echoes the request's; the flash bytes follow from byte 7.
    std::copy_n(request.bytes.begin(), kReportDataOffset, reply.bytes.begin());
    for (std::size_t i = 0; i < kChunkSize; ++i) {
        reply.bytes[kReportDataOffset + i] =
            ReadFlash(request.address() + static_cast<std::uint32_t>(i));
    }
    replies_.push_back(reply);
}

Transfer SimUnit::Read(std::span<std::uint8_t> report, std::uint32_t timeout_ms) {
    const std::uint64_t now = clock_.NowMs();
    if (!replies_.empty() && replies_.front().available_at_ms <= now + timeout_ms) {
        const Reply reply = replies_.front();
        replies_.pop_front();
        if (reply.available_at_ms > now)
            clock_.Sleep(static_cast<std::uint32_t>(reply.available_at_ms - now));
        std::copy(reply.bytes.begin(), reply.bytes.end(), report.begin());
        return Transfer::kCompleted;
    }
    clock_.Sleep(timeout_ms);
    return Transfer::kTimedOut;
}

std::uint8_t SimUnit::ReadFlash(std::uint32_t address) const {
    if (address >= kFlashEndAddress) return 0x00;  // past the flash the boot loader sends zeros
    if (const auto stuck = faults_.StuckByte(index, address)) return *stuck;
    return flash[address];
}

void SimUnit::BeginRestart(UnitState to, std::uint32_t delay_ms) {
    state = UnitState::kGone;
    ++generation;
    replies_.clear();
    restart_pending_ = true;
    restart_to_ = to;
    restart_at_ms_ = clock_.NowMs() + delay_ms;
}

void SimUnit::FinishRestart() {
    restart_pending_ = false;
    ++generation;
    if (restart_to_ == UnitState::kApplication) {
        const auto version = ValidApplicationVersion(flash);
        if (faults_.StaysInBoot(index) || !version) {
            state = UnitState::kBoot;  // the boot loader starts no broken application
            return;
        }
        running_version = faults_.ReturnVersion(index).value_or(*version);
    }
    state = restart_to_;
}

void SimUnit::Unplug() {
    state = UnitState::kGone;
    unplugged = true;
    restart_pending_ = false;
    ++generation;
}

void SimUnit::PowerCycle() {
    unplugged = false;
    BeginRestart(UnitState::kApplication, 0);
    FinishRestart();
}

}  // namespace qvt::sim
