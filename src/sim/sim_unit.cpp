#include "sim_unit.h"

#include <algorithm>
#include <stdexcept>

#include "synthetic_firmware.h"

namespace qvt::sim {
namespace {

CommandFilter FilterOf(std::uint8_t command) {
    switch (command) {
        case wire::kErase:
            return CommandFilter::kErase;
        case wire::kProgram:
            return CommandFilter::kProgram;
        case wire::kProgramEnd:
            return CommandFilter::kProgramEnd;
        case wire::kRead:
            return CommandFilter::kRead;
        case wire::kReset:
            return CommandFilter::kReset;
        default:
            return CommandFilter::kAny;  // an unknown code: only faults on any command count it
    }
}

}  // namespace

SimUnit::SimUnit(std::size_t index, const UnitSetup& setup, const FaultBook& faults, Clock& clock,
                 UnitTimings timings, const ReplyTamper& tamper)
    : index(index),
      driver_index(static_cast<int>(index)),
      faults_(faults),
      clock_(clock),
      timings_(timings),
      tamper_(tamper) {
    flash = SynthesizeFirmware(setup.version.value_or(0)).program;
    if (!setup.version) {
        std::fill(flash.begin() + wire::kApplicationStart, flash.end(), 0xFF);
    }
    image_complete = setup.version.has_value();
    ApplyStuckCells();
    std::copy_n(flash.begin(), boot_area_at_start.size(), boot_area_at_start.begin());
    running_version = setup.version.value_or(0);
    state =
        setup.mode == UnitSetup::Mode::kApplication ? UnitState::kApplication : UnitState::kBoot;
}

void SimUnit::Advance() {
    if (restart_pending_ && !unplugged && clock_.NowMs() >= restart_at_ms_) FinishRestart();
    ArriveDue();
}

std::optional<std::uint16_t> SimUnit::QueryVersion(std::size_t& bytes) const {
    if (faults_.VersionQueryFails(index, resets > 0)) return std::nullopt;
    bytes = faults_.ShortVersionReply(index, resets > 0) ? 1 : 2;
    return running_version;
}

void SimUnit::RequestBootMode() {
    ++boot_requests;
    if (!faults_.IgnoresBootRequest(index)) {
        BeginRestart(UnitState::kBoot, timings_.boot_switch_ms);
    }
}

Transfer SimUnit::Write(std::span<const std::uint8_t> report, std::uint32_t timeout_ms) {
    // The boot loader declares no report IDs: anything but ID 0 and the full report length is
    // refused by the host at once.
    if (report.size() != wire::kReportBytes || report[wire::kIdAt] != 0) {
        return Transfer::kFailed;
    }
    const std::uint8_t command = report[wire::kCommandAt];
    const long occurrence = ++writes_offered[command];
    long any_occurrence = 0;
    for (const auto& [code, count] : writes_offered) any_occurrence += count;
    const CommandFilter filter = FilterOf(command);
    if (faults_.RefusesWrite(index, filter, occurrence, any_occurrence)) {
        clock_.Sleep(timeout_ms);  // the transfer never completes and is cancelled
        return Transfer::kTimedOut;
    }
    if (faults_.FailsWrite(index, filter, occurrence, any_occurrence)) return Transfer::kFailed;
    clock_.Sleep(timings_.transfer_ms);
    Deliver(report);
    return Transfer::kCompleted;
}

const std::vector<WireReport>& SimUnit::history() const {
    if (!keep_history) throw std::logic_error("this unit keeps no history: KeepHistories first");
    return history_;
}

void SimUnit::Deliver(std::span<const std::uint8_t> report) {
    const std::uint8_t command = report[wire::kCommandAt];
    ++reports_received[command];
    if (keep_history) {
        history_.emplace_back();
        std::copy(report.begin(), report.end(), history_.back().begin());
    }
    ++total_received;

    const std::uint32_t address = wire::Address(report);
    const std::uint8_t length = report[wire::kLengthAt];
    switch (command) {
        case wire::kErase:
            std::fill(flash.begin() + wire::kApplicationStart, flash.end(), 0xFF);
            image_complete = false;
            ApplyStuckCells();
            break;
        case wire::kProgram:
            Program(address,
                    report.subspan(wire::kDataAt, std::min<std::size_t>(length, wire::kDataBytes)));
            break;
        case wire::kProgramEnd:
            image_complete = true;
            break;
        case wire::kRead:
            AnswerRead(report);
            break;
        case wire::kReset:
            ++resets;
            BeginRestart(UnitState::kApplication, timings_.reset_ms);
            break;
        default:
            break;  // unknown commands change nothing
    }
    if (const auto after = faults_.UnplugAfter(index); after && total_received >= *after) {
        Unplug();
    }
}

void SimUnit::Program(std::uint32_t address, std::span<const std::uint8_t> data) {
    for (std::size_t i = 0; i < data.size(); ++i) {
        const std::uint32_t at = address + static_cast<std::uint32_t>(i);
        // Flash programming only clears bits; the boot loader guards its own area.
        if (at >= wire::kApplicationStart && at < wire::kFlashBytes) flash[at] &= data[i];
    }
    image_complete = false;
    ApplyStuckCells();
}

void SimUnit::ApplyStuckCells() {
    for (const auto& cell : faults_.StuckCells(index)) flash[cell.address] = cell.value;
}

void SimUnit::AnswerRead(std::span<const std::uint8_t> request) {
    const long number = ++read_requests;
    if (faults_.ReadIsSilent(index, number)) return;
    InFlight reply;
    // The unit answers after its delay; the interrupt transfer then takes its time.
    reply.arrives_at_ms =
        clock_.NowMs() + faults_.ReadDelayMs(index, number) + timings_.transfer_ms;
    // The reply's head echoes the request's; exactly `length` flash bytes follow from byte 7.
    std::copy_n(request.begin(), wire::kDataAt, reply.bytes.begin());
    const std::uint32_t address = wire::Address(request);
    const std::size_t length = std::min<std::size_t>(request[wire::kLengthAt], wire::kDataBytes);
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint32_t at = address + static_cast<std::uint32_t>(i);
        reply.bytes[wire::kDataAt + i] = at < wire::kFlashBytes ? flash[at] : 0x00;
    }
    if (tamper_) tamper_(address, reply.bytes);
    in_flight_.push_back(reply);
}

void SimUnit::ArriveDue() {
    const std::uint64_t now = clock_.NowMs();
    while (!in_flight_.empty() && in_flight_.front().arrives_at_ms <= now) {
        for (InputBuffer* buffer : open_buffers_) {
            if (buffer->generation != generation) continue;  // a stale handle hears nothing
            if (buffer->reports.size() == InputBuffer::kCapacity) buffer->reports.pop_front();
            buffer->reports.push_back(in_flight_.front().bytes);
        }
        in_flight_.pop_front();
    }
}

Transfer SimUnit::Read(InputBuffer& buffer, std::span<std::uint8_t> report,
                       std::uint32_t timeout_ms) {
    if (buffer.reports.empty() && !in_flight_.empty()) {
        // Replies arrive in the order they were asked for; wait for the next if it comes in time.
        const std::uint64_t now = clock_.NowMs();
        const std::uint64_t arrives = in_flight_.front().arrives_at_ms;
        if (arrives <= now + timeout_ms) {
            // A reader that comes late (a loaded machine, a process stopped for a while) finds
            // the reply already due: it waits for nothing, not for the difference's wrap-around.
            if (arrives > now) clock_.Sleep(static_cast<std::uint32_t>(arrives - now));
            ArriveDue();
        }
    }
    if (buffer.reports.empty()) {
        clock_.Sleep(timeout_ms);
        // What a cancelled read leaves in its buffer is not a reply; the model leaves bytes
        // that no caller may take for one.
        std::fill(report.begin(), report.end(), kTimedOutReadFill);
        return Transfer::kTimedOut;
    }
    std::copy(buffer.reports.front().begin(), buffer.reports.front().end(), report.begin());
    buffer.reports.pop_front();
    return Transfer::kCompleted;
}

void SimUnit::Attach(InputBuffer& buffer) {
    buffer.generation = generation;
    open_buffers_.push_back(&buffer);
}

void SimUnit::Detach(InputBuffer& buffer) {
    std::erase(open_buffers_, &buffer);
}

void SimUnit::BeginRestart(UnitState to, std::uint32_t delay_ms) {
    state = UnitState::kGone;
    ++generation;
    in_flight_.clear();
    restart_pending_ = true;
    restart_to_ = to;
    // A unit that leaves the bus takes at least a moment to come back: USB re-enumerates it.
    restart_at_ms_ = clock_.NowMs() + std::max<std::uint32_t>(delay_ms, 1);
}

void SimUnit::FinishRestart() {
    restart_pending_ = false;
    ++generation;
    if (restart_to_ == UnitState::kApplication) {
        const auto version = ValidApplicationVersion(flash);
        if (faults_.StaysInBoot(index) || !image_complete || !version) {
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
    ++unplugs;
    restart_pending_ = false;
    in_flight_.clear();
    ++generation;
}

void SimUnit::PowerCycle() {
    unplugged = false;
    BeginRestart(UnitState::kApplication, 0);
    FinishRestart();
}

}  // namespace qvt::sim
