#include "station.h"

#include "clicks.h"
#include "version_text.h"

namespace qvt::linux_app {
namespace {

constexpr std::uint32_t kLookIntervalMs = 1000;

enum class Bench { kEmpty, kOne, kSeveral };

class Station {
  public:
    Station(Updater& updater, ConsoleFormView& view, Clock& clock, const Options& options,
            const StationHooks& hooks)
        : u_(updater), view_(view), clock_(clock), options_(options), hooks_(hooks) {}

    StationEnd Run() {
        // The window's creation has just run the start-up check on what is there now.
        for (bool first = true; !options_.units || records_ < *options_.units; first = false) {
            if (!first) u_.form.CheckNextUnit();
            const Bench bench = Look();
            if (bench == Bench::kEmpty) {
                if (!Wait()) break;
                continue;
            }
            if (bench == Bench::kSeveral) {
                Refused("several units at once", "unknown");
                if (!WaitUntil([this] { return Look() != Bench::kSeveral; })) break;
                continue;
            }
            UpdateOrRefuse();
            if (!AwaitDeparture()) break;
        }
        view_.ShowSummary(summary_);
        const std::string summary = SummaryLine(summary_);
        u_.record.Add(summary);
        StationEnd end;
        end.outcome = "station ended, " + summary.substr(summary.find(' ') + 1);
        if (summary_.failed != 0) {
            end.status = kExitRunFailed;
        } else {
            end.status = records_ == 0 ? kExitNoUpdate : kExitCompleted;
        }
        return end;
    }

  private:
    int UnitsThere() const {
        return u_.app.census().app_device_count + u_.link.boot_loaders_seen();
    }

    // What is on the bench, by the counts of the last look.
    Bench Look() {
        const int units = UnitsThere();
        if (units == 0) return Bench::kEmpty;
        return units == 1 ? Bench::kOne : Bench::kSeveral;
    }

    // After a unit's record: until a unit is taken away, after which the bench is looked at
    // afresh (the unit just recorded, once gone, leaves whatever else is there to its turn).
    // A unit plugged in meanwhile is no reason to leave the last result standing: the window
    // shows the bench as the start-up check sees it, several units, until then.
    bool AwaitDeparture() {
        int there = UnitsThere();
        for (;;) {
            if (!Wait()) return false;
            Probe();
            const int now = UnitsThere();
            if (now < there) return true;
            if (now > there) {
                there = now;
                u_.form.CheckNextUnit();
            }
        }
    }

    void Probe() {
        u_.app.ProbeAppMode();
        u_.form.ProbeBootMode();
    }

    std::string VersionNow() const {
        const DeviceCensus& census = u_.app.census();
        if (census.app_device_count != 0 && census.versions_read != 0) {
            return FormatVersion(census.device_version);
        }
        return u_.link.boot_loaders_seen() != 0 ? "boot loader" : "unknown";
    }

    void UpdateOrRefuse() {
        ApplyForce(u_, options_);
        const std::string before = VersionNow();
        if (!u_.model.controls().start_enabled) {
            Refused("already current", before);
            return;
        }
        const std::uint64_t start = clock_.NowMs();
        const RunOutcome outcome = u_.form.btnStartClick();
        view_.ShowOutcome(outcome);
        UnitRecord record = NewRecord(start);
        record.outcome = outcome;
        record.version_before = before;
        record.version_after = outcome.completed() ? VersionNow() : "unknown";
        if (outcome.completed()) {
            ++summary_.completed;
        } else if (outcome.failed()) {
            ++summary_.failed;
        } else {
            ++summary_.refused;
        }
        Tell(record);
    }

    void Refused(const std::string& why, const std::string& version) {
        UnitRecord record = NewRecord(clock_.NowMs());
        record.outcome.kind = RunOutcome::Kind::kRefused;
        record.outcome.refusal = Refusal::kStartDisabled;
        record.refused_for = why;
        record.version_before = record.version_after = version;
        ++summary_.refused;
        Tell(record);
    }

    UnitRecord NewRecord(std::uint64_t start) {
        UnitRecord record;
        record.number = ++records_;
        record.at_ms = start - origin_;
        record.duration_ms = clock_.NowMs() - start;
        return record;
    }

    void Tell(const UnitRecord& record) {
        view_.ShowRecord(record);
        u_.record.Add(RecordLine(record));
    }

    // One interval of waiting; false when the station is to end instead.
    bool Wait() {
        if ((hooks_.stop && hooks_.stop()) || (hooks_.quiet && hooks_.quiet())) return false;
        clock_.Sleep(kLookIntervalMs);
        u_.model.Pump();
        return !(hooks_.stop && hooks_.stop());
    }

    template <typename Done>
    bool WaitUntil(Done done) {
        for (;;) {
            if (!Wait()) return false;
            Probe();
            if (done()) return true;
        }
    }

    Updater& u_;
    ConsoleFormView& view_;
    Clock& clock_;
    const Options& options_;
    const StationHooks& hooks_;
    const std::uint64_t origin_ = clock_.NowMs();
    int records_ = 0;
    StationSummary summary_;
};

}  // namespace

StationEnd RunStation(Updater& updater, ConsoleFormView& view, Clock& clock, const Options& options,
                      const StationHooks& hooks) {
    return Station(updater, view, clock, options, hooks).Run();
}

}  // namespace qvt::linux_app
