#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "bench_look.h"
#include "clock.h"
#include "exit_status.h"
#include "run_phase.h"
#include "updater.h"

namespace qvt {

// What a station tells of one unit.
struct UnitRecord {
    int number = 0;           // the station's count, from 1
    std::uint64_t at_ms = 0;  // when the unit was found, in the session's time
    std::uint64_t duration_ms = 0;
    // A run's typical length, for the operator to compare (0: no run was made).
    std::uint64_t typical_ms = 0;
    ExitStatus status = ExitStatus::kCurrent;  // what the console would exit with for this unit
    RunOutcome outcome;                        // refused: current, or several units at once
    std::string refused_for;                   // the refusal in words, for a unit not updated
    std::string version_before;                // "3.00", "boot loader", "unknown"
    std::string version_after;
};

struct StationSummary {
    int completed = 0;
    int failed = 0;
    int refused = 0;
    int units() const { return completed + failed + refused; }
};

// The record and the summary as the record's and the transcript's lines ("record: ...",
// "summary: ...").
std::string RecordLine(const UnitRecord& record);
// A run that took this many times its typical length or more is marked for the operator.
inline constexpr std::uint64_t kSlowFactor = 3;
bool Slow(const UnitRecord& record);
std::string SummaryLine(const StationSummary& summary);

// What a station asks of the front end around it: to show what it tells, and when to stop.
class StationFrontEnd {
  public:
    virtual ~StationFrontEnd() = default;
    virtual void ShowOutcome(const RunOutcome& outcome) = 0;  // after each click of Start
    virtual void ShowRecord(const UnitRecord& record) = 0;
    virtual void ShowSummary(const StationSummary& summary) = 0;
    // A close request while no run is on: the station ends with its summary.
    virtual bool StopRequested() = 0;
    // Nothing on the bench can change any more (a simulated one whose events have all acted):
    // waiting would never end.
    virtual bool BenchQuiet() = 0;
};

// Unit after unit, as a person at a service desk or a production line would do it with the
// window: wait for a unit, update it when the start-up check would let Start be clicked (the
// force box ticked where asked and possible), record it, and go on with the next unit put on
// the bench. One record for each placement of a unit: a unit that stays is never recorded or
// updated again, whatever comes and goes beside it; a change of what the program sees of it
// (its mode, its version, its presence) is its departure. Several units placed at once are
// refused (one record) until one is left. A unit plugged in beside one already recorded waits
// its turn, the window showing the bench as it is. A unit that left the bench during its run
// and a unit found in its place are two placements, each with its record. Each record and the
// summary also go into the session's record.
class Station {
  public:
    Station(Updater& updater, Clock& clock, StationFrontEnd& front_end, bool force,
            std::optional<int> units)
        : u_(updater), clock_(clock), front_end_(front_end), force_(force), units_(units) {}

    // Until `units` units have their record, or a stop; the summary, also shown.
    StationSummary Run();

    // The units a look shows, told apart by what the program can see of them: a version
    // reading in application mode (-1: unread), or kBootLoader. A count per kind.
    using Units = std::map<std::int32_t, std::int32_t>;
    static constexpr std::int32_t kBootLoader = -2;
    static Units UnitsOf(const BenchLook& look);

  private:
    // The bench as the last census and search saw it.
    BenchLook Seen() const;
    Units Probe(bool settle = true);
    std::string VersionNow() const;
    // Updates the one unit on the bench, or refuses it, with its record; returns how the click
    // ended (refused: no click was made).
    RunOutcome UpdateOrRefuse();
    void Refused(const std::string& why, const std::string& version, ExitStatus status);
    UnitRecord NewRecord(std::uint64_t start);
    void Tell(const UnitRecord& record);
    // One interval of waiting; false when the station is to end instead.
    bool Wait();
    // What of the bench after a unit's record is that unit.
    static Units RecordedUnit(const RunOutcome& outcome, const Units& now,
                              std::uint16_t image_version);

    Units recorded_;  // units with their record that are still on the bench
    bool several_told_ = false;

    Updater& u_;
    Clock& clock_;
    StationFrontEnd& front_end_;
    const bool force_;
    const std::optional<int> units_;
    const std::uint64_t origin_ = clock_.NowMs();
    int records_ = 0;
    StationSummary summary_;
};

}  // namespace qvt
