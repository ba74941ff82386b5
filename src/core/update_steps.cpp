// The run's steps that wait on the unit: the switch into its boot loader, the procedures'
// programming, verification and reset, and the wait for the unit's return. The machine that
// strings them together is update_sequence.cpp.
#include <array>
#include <cstdio>
#include <string>

#include "texts.h"
#include "update_sequence.h"

namespace qvt {
namespace {

std::string SeveralLine(std::int32_t seen, std::int32_t expected) {
    std::array<char, 96> line{};
    std::snprintf(line.data(), line.size(), logtext::kBootSeveralFormat, seen, expected);
    return line.data();
}

}  // namespace

UpdateSequence::Step UpdateSequence::BootSwitch() {
    model_.AdvanceProgress();
    const bool force = model_.controls().force_checked;
    if (app_.BootModeRequestDue(force, link_.boot_loader_count())) {
        app_.RequestBootMode(model_, force);
        clock_.Sleep(kAfterBootRequestMs);
    }
    for (int search = 0; search < kBootLoaderSearches; ++search) {
        if (link_.ProbeBootMode(expected_)) {
            model_.AppendLog(std::string(logtext::kBootFoundAtTry) + std::to_string(search));
            model_.ShowMessage(text::kBootSwitchDone);
            model_.AdvanceProgress();
            clock_.Sleep(kWaitCycleMs);
            return Step::kSucceeded;
        }
        if (expected_ > 0 && link_.boot_loaders_seen() > expected_) {
            model_.AppendLog(SeveralLine(link_.boot_loaders_seen(), expected_));
            return Step::kSeveral;
        }
        if (UnitBack()) return Step::kUnitBack;
        clock_.Sleep(kWaitCycleMs);
        model_.Pump();
    }
    model_.AppendLog(logtext::kBootNeverFound);
    return Step::kFailed;
}

UpdateSequence::Step UpdateSequence::Program() {
    // The attempt's erase has already forgotten whatever was flashed before.
    const bool sent = protocol_.SendImage(expected_);
    NoteDeparture();
    if (!sent) return StepOf(false);
    // Counted the moment the end report has gone out: the boot loaders it reached hold the
    // image; the units already in application mode are others.
    custody_.flash = Flash::kProgrammed;
    app_.ProbeAppMode();
    custody_.HandOver(Handover::At::kProgramEnd, link_.boot_loader_count(), Look(true),
                      clock_.NowMs());
    protocol_.FinishProgramming();
    return Step::kSucceeded;
}

UpdateSequence::Step UpdateSequence::Verify() {
    const bool verified = protocol_.Verify();
    switch (protocol_.last_verification()) {
        case BootProtocol::Verification::kPassed:
            custody_.flash = Flash::kVerified;
            break;
        case BootProtocol::Verification::kDisproved:
            custody_.flash = Flash::kDisproved;
            break;
        case BootProtocol::Verification::kInterrupted:
            break;  // nothing read back differed: the unit may have restarted into it
    }
    return verified ? Step::kSucceeded : Step::kFailed;
}

UpdateSequence::Step UpdateSequence::Reset() {
    const BootProtocol::ResetSent sent = protocol_.SendReset(expected_);
    NoteDeparture();
    if (!sent.found) {
        // A reset that found no boot loader goes on to the return wait, as a refused one does;
        // a search that saw several, or the unit back, ends the run here.
        const Step step = StepOf(false);
        return step == Step::kUnitBack || step == Step::kSeveral ? step : Step::kFailed;
    }
    // Counted the moment the reset went out: the units it reached have just left the bus.
    app_.ProbeAppMode();
    custody_.HandOver(Handover::At::kReset, link_.boot_loader_count(), Look(true), clock_.NowMs());
    const bool accepted = protocol_.FinishReset(sent);
    custody_.handover.accepted = accepted;
    return accepted ? Step::kSucceeded : Step::kFailed;
}

UpdateSequence::Step UpdateSequence::ReturnWait() {
    model_.ShowMessage(text::kVersionCheckStart);
    model_.Pump();
    for (int cycle = 0; cycle < kReturnCycles; ++cycle) {
        const bool boot_loader = link_.ProbeBootMode(expected_);
        if (!boot_loader) app_.ProbeAppMode();
        verdict_ = JudgeNow(Look(!boot_loader), Occasion::kReturnWait);
        if (verdict_.kind == Verdict::Kind::kCompleted) {
            if (verdict_.reason == Verdict::Reason::kBootLoaderGone) {
                model_.AppendLog(logtext::kVersionNotReadHere);
            }
            return Step::kSucceeded;
        }
        if (verdict_.kind == Verdict::Kind::kFailed) {
            // Nothing the wait could still see would change: a boot loader that never took its
            // reset, or one back after it where no application can be seen.
            if (verdict_.reason == Verdict::Reason::kBootLoaderBack) {
                found_cause_ = FailureCause::kBootLoaderBack;
            }
            return Step::kFailed;
        }
        clock_.Sleep(kWaitCycleMs);
        model_.Pump();
    }
    return Step::kFailed;
}

}  // namespace qvt
