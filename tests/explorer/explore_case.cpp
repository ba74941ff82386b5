#include "explore_case.h"

#include <map>
#include <memory>

#include "bench_truth.h"
#include "embedded_image.h"
#include "explore_station.h"
#include "product_table.h"
#include "recording_window_view.h"
#include "run_bounds.h"
#include "scenario.h"
#include "station.h"
#include "updater.h"
#include "virtual_clock.h"

namespace qvt::explorer {
namespace {

using testing::CustodyViolations;
using testing::OnBench;

constexpr int kMostClicks = 4;
// Longer than any click that finds its unit and updates it, far shorter than a wait for nothing;
// without the driver a completion also waits out the whole return bound.
constexpr std::uint64_t kPromptClickMs = 60'000;
constexpr std::uint64_t kPromptClickWithoutDriverMs = kPromptClickMs + kReturnBoundMs;

// A freshly started program in front of the case's bench.
struct Session {
    explicit Session(const std::string& json)
        : world(clock, *sim::ParseScenario(json)),
          updater(Ports{view, clock, world.driver(), world.bus(), resource,
                        ProductDescrambleTable()}) {}

    sim::VirtualClock clock;
    sim::RecordingWindowView view;
    EmbeddedImageResource resource;
    sim::SimulatedWorld world;
    Updater updater;
};

std::string EndingOf(const RunOutcome& outcome, bool stand_in) {
    if (outcome.completed()) {
        return stand_in ? "completed, a current unit in the flashed one's place" : "completed";
    }
    if (outcome.failed()) {
        return std::string("failed in the ") + PhaseName(outcome.phase) + " (" +
               CauseName(outcome.cause) + ")";
    }
    return std::string("refused (") + RefusalName(outcome.refusal) + ")";
}

// The checks of every click: custody, and the run leaving nothing behind.
void CheckClick(Session& s, const RunOutcome& outcome, std::uint64_t took, CaseResult& result,
                bool* stand_in) {
    for (std::string& broken : CustodyViolations(s.world, s.updater.firmware, outcome, stand_in)) {
        result.violations.push_back(std::move(broken));
    }
    if (s.updater.sequence.busy()) result.violations.push_back("the busy flag stayed set");
    if (s.world.open_handles() != 0) result.violations.push_back("a handle stayed open");
    if (took > RunBounds(s.world.unit_count() + 1).Total()) {
        result.violations.push_back("a click outlasted the worst case of a run");
    }
}

// Lets every scheduled event act: the bench as the person leaves it.
void Settle(Session& s) {
    while (s.world.EventsScheduled()) {
        s.clock.Sleep(1'000'000);
        s.world.Advance();
    }
}

// The unit left alone on a settled bench, if it has no fault and the program can see it.
const sim::SimUnit* SoundUnitAlone(Session& s, const Case& c) {
    const sim::SimUnit* alone = nullptr;
    for (std::size_t i = 0; i < s.world.unit_count(); ++i) {
        if (!OnBench(s.world.unit(i))) continue;
        if (alone) return nullptr;
        alone = &s.world.unit(i);
    }
    if (!alone || (alone->index == 0 && c.fault != Fault::kNone)) return nullptr;
    // Without the driver a unit in its application is out of the program's sight.
    if (!c.driver && alone->state == sim::UnitState::kApplication) return nullptr;
    return alone;
}

// No trap: with one sound unit on the bench, the next click completes or is refused as
// current, at once; a window that no longer takes a click shows one or the other.
void CheckNoTrap(Session& s, const Case& c, CaseResult& result) {
    Settle(s);
    if (!SoundUnitAlone(s, c)) return;
    // A window that takes no click shows a completion (judged as every one is) or a row of the
    // start-up check, which a person answers by restarting the program or ticking the box.
    if (!s.updater.model.controls().start_enabled) return;
    const std::uint64_t start = s.clock.NowMs();
    const std::size_t events = s.world.EventsActed();
    bool stand_in = false;
    const RunOutcome outcome = s.updater.form.btnStartClick();
    ++result.clicks;
    CheckClick(s, outcome, s.clock.NowMs() - start, result, &stand_in);
    result.ending += "; then " + EndingOf(outcome, stand_in);
    // An event that the click's own reports set off changed the bench under it.
    if (s.world.EventsActed() != events) return;
    if (!outcome.completed() && outcome.refusal != Refusal::kNothingToUpdate) {
        result.violations.push_back("a click on one sound unit did not complete: " +
                                    EndingOf(outcome, stand_in));
    } else if (s.clock.NowMs() - start >
               (c.driver ? kPromptClickMs : kPromptClickWithoutDriverMs)) {
        result.violations.push_back("a click on one sound unit waited " +
                                    std::to_string(s.clock.NowMs() - start) + " ms");
    }
}

void RunWindow(Session& s, const Case& c, CaseResult& result) {
    WindowModel::Controls const& controls = s.updater.model.controls();
    s.updater.form.FormCreate();
    if (controls.status.caption == text::kCaptionCurrent) {
        CheckClick(s,
                   {RunOutcome::Kind::kRefused, Phase::kIdle, FailureCause::kNone,
                    Refusal::kNothingToUpdate},
                   0, result, nullptr);
    }
    result.ending = "start-up refused";
    for (int click = 0; click < kMostClicks && controls.start_enabled; ++click) {
        const std::uint64_t start = s.clock.NowMs();
        bool stand_in = false;
        const RunOutcome outcome = s.updater.form.btnStartClick();
        ++result.clicks;
        CheckClick(s, outcome, s.clock.NowMs() - start, result, &stand_in);
        result.ending = EndingOf(outcome, stand_in);
    }
    CheckNoTrap(s, c, result);
}

}  // namespace

CaseResult RunCase(const Case& c, bool keep_transcript) {
    CaseResult result;
    std::uint64_t first_click_end = 80'000'000;  // never, for the measuring session
    if (NeedsFirstClickEnd(c)) {
        Session measure(ScenarioJson(c, first_click_end));
        measure.updater.form.FormCreate();
        measure.updater.form.btnStartClick();
        first_click_end = measure.clock.NowMs();
    }
    result.scenario = ScenarioJson(c, first_click_end);
    Session s(result.scenario);
    if (c.station) {
        RunStationCase(s.updater, s.world, s.view, c, result);
    } else {
        RunWindow(s, c, result);
    }
    s.updater.form.FormClose();
    if (s.world.open_handles() != 0) result.violations.push_back("a handle stayed open at close");
    if (keep_transcript) {
        for (const std::string& line : s.updater.record.lines()) {
            if (line.find(" progress: ") == std::string::npos) result.transcript.push_back(line);
        }
    }
    return result;
}

}  // namespace qvt::explorer
