#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "clock.h"
#include "run_phase.h"
#include "updater.h"

namespace qvt {

// What a station tells of one unit.
struct UnitRecord {
    int number = 0;           // the station's count, from 1
    std::uint64_t at_ms = 0;  // when the unit was found, in the session's time
    std::uint64_t duration_ms = 0;
    RunOutcome outcome;          // refused: current, or several units at once
    std::string refused_for;     // the refusal in words, for a unit not updated
    std::string version_before;  // "3.00", "boot loader", "unknown"
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
// force box ticked where asked and possible), record it, wait until it is unplugged, and go on.
// A unit left attached is never updated twice; several at once are refused until one is left.
// A unit plugged in beside the one just recorded waits its turn, the window showing the bench
// as it is, and is looked at once a unit is taken away. Each record and the summary also go
// into the session's record.
class Station {
  public:
    Station(Updater& updater, Clock& clock, StationFrontEnd& front_end, bool force,
            std::optional<int> units)
        : u_(updater), clock_(clock), front_end_(front_end), force_(force), units_(units) {}

    // Until `units` units have their record, or a stop; the summary, also shown.
    StationSummary Run();

  private:
    enum class Bench { kEmpty, kOne, kSeveral };

    int UnitsThere() const;
    // What is on the bench, by the counts of the last look.
    Bench Look() const;
    std::string VersionNow() const;
    void Probe();
    void UpdateOrRefuse();
    void Refused(const std::string& why, const std::string& version);
    UnitRecord NewRecord(std::uint64_t start);
    void Tell(const UnitRecord& record);
    // One interval of waiting; false when the station is to end instead.
    bool Wait();
    template <typename Done>
    bool WaitUntil(Done done);
    // After a unit's record: until a unit is taken away.
    bool AwaitDeparture();

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
