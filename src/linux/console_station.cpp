#include "console_station.h"

#include "clicks.h"

namespace qvt::linux_app {
namespace {

// A station's summary keeps the number it has always had for a session without a unit.
constexpr int kNoUnitCame = 2;

}  // namespace
namespace {

// The console as a station's front end: what the station tells goes to the transcript (or the
// events), and the session's hooks say when to stop.
class ConsoleStation final : public StationFrontEnd {
  public:
    ConsoleStation(ConsoleWindowView& view, const StationHooks& hooks)
        : view_(view), hooks_(hooks) {}
    void ShowOutcome(const RunOutcome& outcome) override { view_.ShowOutcome(outcome); }
    void ShowRecord(const UnitRecord& record) override { view_.ShowRecord(record); }
    void ShowSummary(const StationSummary& summary) override { view_.ShowSummary(summary); }
    bool StopRequested() override { return hooks_.stop && hooks_.stop(); }
    bool BenchQuiet() override { return hooks_.quiet && hooks_.quiet(); }

  private:
    ConsoleWindowView& view_;
    const StationHooks& hooks_;
};

}  // namespace

SessionEnd RunStation(Updater& updater, ConsoleWindowView& view, Clock& clock,
                      const Options& options, const StationHooks& hooks) {
    ConsoleStation front_end(view, hooks);
    const StationSummary summary =
        Station(updater, clock, front_end, options.force, options.units).Run();
    const std::string line = SummaryLine(summary);
    SessionEnd end;
    end.standing = "station ended, " + line.substr(line.find(' ') + 1);
    if (summary.failed != 0) {
        end.status = Code(ExitStatus::kFailed);
    } else {
        end.status = summary.units() == 0 ? kNoUnitCame : Code(ExitStatus::kCompleted);
    }
    return end;
}

}  // namespace qvt::linux_app
