#include "session.h"

#include <algorithm>
#include <variant>

#include "bench_truth.h"
#include "boot_reports.h"
#include "embedded_image.h"
#include "product_table.h"
#include "recording_window_view.h"
#include "run_bounds.h"
#include "run_phase.h"
#include "scenario.h"
#include "simulated_world.h"
#include "texts.h"
#include "updater.h"
#include "virtual_clock.h"

namespace qvt::campaign {
namespace {

// The campaign's name for how a click of Start ended.
Ending EndingOf(const RunOutcome& outcome) {
    if (outcome.completed()) return Ending::kCompleted;
    if (outcome.refusal == Refusal::kNothingToUpdate) return Ending::kNothingToUpdate;
    if (outcome.refusal == Refusal::kVersionUnread) return Ending::kVersionUnread;
    if (!outcome.failed()) return Ending::kOther;
    switch (outcome.phase) {
        case Phase::kBootSwitch:
            return Ending::kBootSwitch;
        case Phase::kErase:
            return Ending::kErase;
        case Phase::kBlankCheck:
            return Ending::kBlankCheck;
        case Phase::kProgram:
            return Ending::kProgramming;
        case Phase::kVerify:
            return Ending::kVerification;
        case Phase::kReset:
            return Ending::kReset;
        case Phase::kReturnWait:
            return outcome.cause == FailureCause::kResetRefused ? Ending::kReset
                                                                : Ending::kReturnWait;
        default:
            return Ending::kOther;
    }
}

// Every device that the boot-loader search can count: a unit in either mode, or a foreign
// device that shares an ID with the boot loader.
std::uint64_t PossibleBootLoaders(const sim::SimulatedWorld& world) {
    std::uint64_t count = world.unit_count();
    for (const sim::ForeignHid& device : world.foreign()) {
        if (device.vendor == kBootLoaderVendorId || device.product == kBootLoaderProductId) ++count;
    }
    return std::max<std::uint64_t>(count, 1);
}

}  // namespace

const char* EndingName(Ending ending) {
    switch (ending) {
        case Ending::kCompleted:
            return "completed";
        case Ending::kBootSwitch:
            return "failed at the boot switch";
        case Ending::kErase:
            return "failed at the erase";
        case Ending::kBlankCheck:
            return "failed at the blank check";
        case Ending::kProgramming:
            return "failed at programming";
        case Ending::kVerification:
            return "failed at the verification";
        case Ending::kReset:
            return "failed at the reset";
        case Ending::kReturnWait:
            return "failed at the return wait";
        case Ending::kStartupRefused:
            return "start-up refused";
        case Ending::kNothingToUpdate:
            return "refused: nothing to update";
        case Ending::kVersionUnread:
            return "refused: version unread";
        case Ending::kOther:
            break;
    }
    return "other";
}

SessionResult RunSession(const Draw& draw) {
    SessionResult result;
    auto parsed = sim::ParseScenario(draw.scenario_json);
    if (!parsed) {
        result.violations.push_back("the drawn scenario was refused: " + parsed.error());
        return result;
    }
    sim::VirtualClock clock;
    sim::RecordingWindowView view;
    EmbeddedImageResource resource;
    sim::SimulatedWorld world(clock, std::move(*parsed));
    Updater updater(
        Ports{view, clock, world.driver(), world.bus(), resource, ProductDescrambleTable()});
    updater.form.FormCreate();
    const WindowModel::Controls& controls = updater.model.controls();
    if (draw.force && controls.force_enabled) updater.form.ckUpdateClick(true);
    if (!controls.start_enabled) {
        result.ending = Ending::kStartupRefused;
        return result;
    }
    for (int click = 0; click < draw.clicks; ++click) {
        if (!controls.start_enabled || updater.sequence.completed()) break;
        const std::uint64_t start = clock.NowMs();
        const RunOutcome outcome = updater.form.btnStartClick();
        const std::uint64_t took = clock.NowMs() - start;
        auto& v = result.violations;
        if (took > RunBounds(PossibleBootLoaders(world)).Total()) {
            v.push_back("a run took " + std::to_string(took) + " ms, past its worst case");
        }
        if (updater.sequence.busy()) v.push_back("the busy flag stayed set");
        if (world.open_handles() != 0) v.push_back("a handle stayed open");
        const bool unconfirmed = controls.status.caption == text::kCaptionCompletedUnconfirmed;
        const bool shown =
            controls.status.visible &&
            (controls.status.caption == text::kCaptionCompleted ||
             controls.status.caption == text::kCaptionCompletedOnRestart || unconfirmed);
        if (shown != updater.sequence.completed()) v.push_back("the status and the run disagree");
        if (shown && outcome.completed() && unconfirmed == ReturnConfirmed(outcome.reason)) {
            v.push_back("the window says the unit's return was read back otherwise than it was");
        }
        bool stand_in = false;
        for (std::string& broken :
             testing::CustodyViolations(world, updater.firmware, outcome, &stand_in)) {
            v.push_back(std::move(broken));
        }
        if (outcome.completed()) result.swapped = stand_in;
        if (!shown && outcome.failed() && !controls.start_enabled) {
            v.push_back("a failed run left Start disabled");
        }
        result.ending = EndingOf(outcome);
    }
    updater.form.FormClose();
    if (world.open_handles() != 0) result.violations.push_back("a handle stayed open at close");
    return result;
}

}  // namespace qvt::campaign
