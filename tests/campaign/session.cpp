#include "session.h"

#include <algorithm>
#include <variant>

#include "boot_reports.h"
#include "embedded_image.h"
#include "product_table.h"
#include "recording_form_view.h"
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
        case Phase::kReturnWait:
            return outcome.cause == FailureCause::kResetRefused ? Ending::kReset
                                                                : Ending::kReturnWait;
        default:
            return Ending::kOther;
    }
}

bool Seen(const sim::SimUnit& unit) {
    return !unit.unplugged && unit.state != sim::UnitState::kGone;
}

// The units on the bus, in either mode.
std::size_t UnitsSeen(const sim::SimulatedWorld& world) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < world.unit_count(); ++i) seen += Seen(world.unit(i)) ? 1 : 0;
    return seen;
}

std::size_t InApplication(const sim::SimulatedWorld& world) {
    std::size_t running = 0;
    for (std::size_t i = 0; i < world.unit_count(); ++i) {
        const sim::SimUnit& unit = world.unit(i);
        running += Seen(unit) && unit.state == sim::UnitState::kApplication ? 1 : 0;
    }
    return running;
}

// The tool knows the units only by how many there are and the versions they report. Once a
// person has taken a unit away or plugged one in during the session, a current unit in place
// of the updated one looks to it exactly like the updated unit back. Such a completion is not
// held against the tool as long as what it saw is what it vouches for: as many units running
// a current application as it could expect back, and no boot loader.
bool IndistinguishableSwap(const sim::SimulatedWorld& world, std::size_t vouched_for) {
    if (!world.units_changed()) return false;
    std::size_t current = 0;
    for (std::size_t i = 0; i < world.unit_count(); ++i) {
        const sim::SimUnit& unit = world.unit(i);
        if (!Seen(unit)) continue;
        if (unit.state != sim::UnitState::kApplication || unit.running_version < 0x0310) {
            return false;
        }
        ++current;
    }
    return current == vouched_for;
}

// `reset` holds the units that the last run to send a reset reached, or that it programmed
// when its reset reached none: the ones a completion speaks for, `vouched_for` of them in
// all. Returns whether the completion spoke for units put in place of them.
bool CheckCompletion(const sim::SimulatedWorld& world, const FirmwareImage& image,
                     const std::vector<std::size_t>& reset, std::size_t vouched_for,
                     std::vector<std::string>& violations) {
    for (std::size_t i = 0; i < world.unit_count(); ++i) {
        const sim::SimUnit& unit = world.unit(i);
        if (!std::equal(unit.boot_area_at_start.begin(), unit.boot_area_at_start.end(),
                        unit.flash.begin())) {
            violations.push_back("the boot loader's area of unit " + std::to_string(i) +
                                 " changed");
        }
        // Every unit that the tool can see has to be current; one in its boot loader is not.
        if (!unit.unplugged && unit.state == sim::UnitState::kBoot) {
            violations.push_back("completion shown, but unit " + std::to_string(i) +
                                 " waits in its boot loader");
        }
    }
    if (reset.empty()) {
        violations.push_back("completion shown, but no unit was reset");
        return false;
    }
    std::vector<std::string> broken;
    for (std::size_t i : reset) {
        const sim::SimUnit& unit = world.unit(i);
        const std::string name = "unit " + std::to_string(i);
        if (unit.unplugged || unit.state != sim::UnitState::kApplication) {
            broken.push_back("completion shown, but " + name + " does not run an application");
        }
        if (!std::equal(unit.flash.begin() + kFlashFirstAddress, unit.flash.end(),
                        image.program.begin() + kFlashFirstAddress)) {
            broken.push_back("completion shown, but " + name + " does not hold the image");
        }
        if (unit.running_version < 0x0310) {
            broken.push_back("completion shown, but " + name + " reports an older version");
        }
    }
    if (broken.empty()) return false;
    if (IndistinguishableSwap(world, vouched_for)) return true;
    violations.insert(violations.end(), broken.begin(), broken.end());
    return false;
}

// What each unit had been sent: resets, and ends of programming.
std::vector<std::pair<long, long>> Sent(const sim::SimulatedWorld& world) {
    std::vector<std::pair<long, long>> sent;
    for (std::size_t i = 0; i < world.unit_count(); ++i) {
        const sim::SimUnit& unit = world.unit(i);
        const auto ends = unit.reports_received.find(sim::wire::kProgramEnd);
        sent.emplace_back(unit.resets, ends == unit.reports_received.end() ? 0 : ends->second);
    }
    return sent;
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
    sim::RecordingFormView view;
    EmbeddedImageResource resource;
    sim::SimulatedWorld world(clock, std::move(*parsed));
    Updater updater(
        Ports{view, clock, world.driver(), world.bus(), resource, ProductDescrambleTable()});
    updater.form.FormCreate();
    const FormModel::Controls& controls = updater.model.controls();
    if (draw.force && controls.force_enabled) updater.form.ckUpdateClick(true);
    if (!controls.start_enabled) {
        result.ending = Ending::kStartupRefused;
        return result;
    }
    // The units that the last run to send a reset reached; or, where a run ended its
    // programming but never reached a unit with its reset, the units it programmed: a unit
    // plugged back in starts its application as after a reset.
    std::vector<std::size_t> last_reset;
    bool reset_reached = false;  // last_reset holds units a reset reached
    const std::size_t units_at_start = UnitsSeen(world);
    for (int click = 0; click < draw.clicks; ++click) {
        if (!controls.start_enabled || updater.sequence.completed()) break;
        const auto sent_before = Sent(world);
        const std::uint64_t start = clock.NowMs();
        const RunOutcome outcome = updater.form.btnStartClick();
        const std::uint64_t took = clock.NowMs() - start;
        std::vector<std::size_t> reset_now, programmed_now;
        const auto sent_after = Sent(world);
        for (std::size_t i = 0; i < sent_after.size(); ++i) {
            const auto before = i < sent_before.size() ? sent_before[i] : std::pair<long, long>{};
            if (sent_after[i].first > before.first) reset_now.push_back(i);
            if (sent_after[i].second > before.second) programmed_now.push_back(i);
        }
        if (!reset_now.empty()) {
            last_reset = reset_now;
            reset_reached = true;
        } else if (!programmed_now.empty()) {
            last_reset = programmed_now;
            reset_reached = false;
        }
        auto& v = result.violations;
        if (took > RunBounds(PossibleBootLoaders(world)).Total()) {
            v.push_back("a run took " + std::to_string(took) + " ms, past its worst case");
        }
        if (updater.sequence.busy()) v.push_back("the busy flag stayed set");
        if (world.open_handles() != 0) v.push_back("a handle stayed open");
        const bool shown = controls.status.visible &&
                           (controls.status.caption == text::kCaptionCompleted ||
                            controls.status.caption == text::kCaptionCompletedOnRestart);
        if (shown != updater.sequence.completed()) v.push_back("the status and the run disagree");
        const std::size_t vouched_for =
            reset_reached ? world.units_at_last_reset()
                          : std::max({units_at_start, world.units_at_last_program_end(),
                                      world.units_at_last_reset()});
        if (shown) {
            result.swapped = CheckCompletion(world, updater.firmware, last_reset, vouched_for, v);
        } else if (outcome.refusal == Refusal::kNothingToUpdate) {
            if (UnitsSeen(world) != 1 || InApplication(world) != 1) {
                v.push_back("nothing to update, but the bench is not one unit in its application");
            }
        } else if (!controls.start_enabled) {
            v.push_back("a failed run left Start disabled");
        }
        result.ending = EndingOf(outcome);
    }
    updater.form.FormClose();
    if (world.open_handles() != 0) result.violations.push_back("a handle stayed open at close");
    return result;
}

}  // namespace qvt::campaign
