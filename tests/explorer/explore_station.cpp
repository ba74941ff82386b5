#include "explore_station.h"

#include <map>
#include <set>
#include <utility>

#include "bench_truth.h"
#include "run_bounds.h"
#include "station.h"

namespace qvt::explorer {
namespace {

using testing::CustodyViolations;
using testing::OnBench;

class Judge final : public StationFrontEnd {
  public:
    Judge(Updater& updater, sim::SimulatedWorld& world, const Case& c, CaseResult& result)
        : u_(updater), world_(world), case_(c), result_(result) {
        for (std::size_t i = 0; i < world_.unit_count(); ++i) erases_.push_back(Erases(i));
        Idle();
    }

    // The placements as they stand while no run is on: the last of these before a click is
    // where the click found each unit.
    // Also each unit's epoch: a new one each time what can be seen of it changes.
    void Idle() {
        if (u_.sequence.busy()) return;
        placements_.clear();
        for (std::size_t i = 0; i < world_.unit_count(); ++i) {
            const sim::SimUnit& unit = world_.unit(i);
            placements_.push_back(unit.unplugs);
            const int seen = OnBench(unit) ? 1 + static_cast<int>(unit.state) : 0;
            if (i >= seen_.size()) seen_.push_back(-1);
            if (seen_[i] != seen) ++epochs_[i];
            seen_[i] = seen;
        }
    }

    // A unit alone on the bench at the end, that the program can see, was recorded as it is.
    void CheckLastUnitRecorded() {
        Idle();
        std::size_t alone = world_.unit_count();
        for (std::size_t i = 0; i < world_.unit_count(); ++i) {
            if (!OnBench(world_.unit(i))) continue;
            if (alone != world_.unit_count()) return;
            alone = i;
        }
        if (alone == world_.unit_count() || stood_in_) return;
        const sim::SimUnit& unit = world_.unit(alone);
        if (!world_.app_driver() && unit.state == sim::UnitState::kApplication) return;
        const auto recorded = recorded_epochs_.find(alone);
        // One that looks exactly as the unit recorded last is the listed swap no look sees.
        if ((recorded == recorded_epochs_.end() || recorded->second != epochs_[alone]) &&
            !last_recorded_looks_.count(LookOf(unit))) {
            result_.violations.push_back("unit " + std::to_string(alone) +
                                         " was left on the bench without its record");
        }
    }

    void ShowOutcome(const RunOutcome& outcome) override {
        ++result_.clicks;
        bool stand_in = false;
        for (std::string& broken : CustodyViolations(world_, u_.firmware, outcome, &stand_in)) {
            result_.violations.push_back(std::move(broken));
        }
        // A completion for a unit standing in the flashed one's place leaves the flashed one to
        // be taken, when it shows up, for a unit newly placed: the listed consequence.
        stood_in_ = stood_in_ || (outcome.completed() && stand_in);
        if (u_.sequence.busy()) result_.violations.push_back("the busy flag stayed set");
        if (world_.open_handles() != 0) result_.violations.push_back("a handle stayed open");
        // A unit that stays on the bench is updated once: an erase reaching it again, while it
        // was never taken away, is a second update of one placement.
        for (std::size_t i = 0; i < world_.unit_count(); ++i) {
            const long erases = Erases(i);
            if (i >= erases_.size()) erases_.push_back(0);
            if (erases > erases_[i]) {
                const long found_in = i < placements_.size() ? placements_[i] : 0;
                const auto placement = std::make_pair(i, found_in);
                if (updated_.count(placement) && !PowerCycled() && !stood_in_) {
                    result_.violations.push_back("unit " + std::to_string(i) +
                                                 " updated twice while it stayed on the bench");
                }
                updated_[placement] = true;
            }
            erases_[i] = erases;
        }
    }
    void ShowRecord(const UnitRecord&) override {
        ++records_;
        Idle();
        last_recorded_looks_.clear();
        for (std::size_t i = 0; i < world_.unit_count(); ++i) {
            if (!OnBench(world_.unit(i))) continue;
            recorded_epochs_[i] = epochs_[i];
            last_recorded_looks_.insert(LookOf(world_.unit(i)));
        }
    }
    void ShowSummary(const StationSummary& summary) override {
        if (summary.units() != records_) {
            result_.violations.push_back("the summary counts " + std::to_string(summary.units()) +
                                         " units for " + std::to_string(records_) + " records");
        }
        result_.ending = "station: " + std::to_string(summary.completed) + " completed, " +
                         std::to_string(summary.failed) + " failed, " +
                         std::to_string(summary.refused) + " refused";
    }
    bool StopRequested() override { return false; }
    bool BenchQuiet() override { return !world_.EventsScheduled(); }

  private:
    // What the program can see of a unit: its boot loader, or its version reading.
    static int LookOf(const sim::SimUnit& unit) {
        if (unit.state == sim::UnitState::kBoot) return -2;
        return testing::VersionReadable(unit) ? unit.running_version : -1;
    }
    long Erases(std::size_t unit) const {
        return testing::Received(world_.unit(unit), sim::wire::kErase);
    }
    bool PowerCycled() const {
        for (const Step& step : case_.steps) {
            if (step.act == Act::kPowerCycle) return true;
        }
        return false;
    }

    Updater& u_;
    sim::SimulatedWorld& world_;
    const Case& case_;
    CaseResult& result_;
    std::vector<long> erases_;
    std::vector<long> placements_;
    std::vector<int> seen_;
    std::map<std::size_t, int> epochs_, recorded_epochs_;
    std::set<int> last_recorded_looks_;
    std::map<std::pair<std::size_t, long>, bool> updated_;
    int records_ = 0;
    bool stood_in_ = false;
};

}  // namespace

void RunStationCase(Updater& updater, sim::SimulatedWorld& world, sim::RecordingWindowView& view,
                    const Case& c, CaseResult& result) {
    updater.form.FormCreate();
    Judge judge(updater, world, c, result);
    view.on_pump = [&judge] { judge.Idle(); };
    Station(updater, world.clock(), judge, false, std::nullopt).Run();
    view.on_pump = nullptr;
    judge.CheckLastUnitRecorded();
    // Green only over a unit this program flashed, still on the bench.
    const WindowModel::Controls& controls = updater.model.controls();
    const bool green = controls.status.visible && controls.status.background == color::kGreen;
    if (green && !testing::CompletionStands(world, updater.firmware)) {
        result.violations.push_back("the station shows green over no unit it flashed");
    }
}

}  // namespace qvt::explorer
