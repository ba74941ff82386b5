#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "trace.h"

namespace qvt::trace {

// A trace played back to the core, call by call (the replay ports, replay_ports.h, ask it).
// Every call the core makes must be the recorded one, of the same kind with the same arguments
// and bytes; its answer and the time come from the trace. The first call that differs stops
// the replay with one report, and from then on the ports answer as if nothing were there, so
// that the session winds down at once in virtual time without a call being asked again.
// A trace from another version of the program is replayed leniently: calls are matched by kind
// alone, and where the arguments or bytes differ is noted for a person to read.
class Replayer {
  public:
    // The most differences a lenient replay notes one by one; the rest are counted.
    static constexpr std::size_t kMaxNotes = 20;

    // Lenient when the trace's program version is not `program_version`.
    Replayer(Trace trace, std::string_view program_version);

    const Header& header() const { return trace_.header; }
    bool lenient() const { return lenient_; }

    // The recorded call that answers `made` (its kind and arguments, as the core made it), or
    // null once the replay has stopped.
    const Call* Answer(const Call& made);
    // Time that passes after the replay has stopped.
    void Pass(std::uint32_t ms) { now_ += ms; }
    // What the trace holds next, if anything: a click of Start, a wait of a station.
    bool NextIs(CallKind kind) const;
    const Call* Next() const {
        return next_ < trace_.calls.size() ? &trace_.calls[next_] : nullptr;
    }
    // Whether the trace holds nothing more for the session to do but close what it opened: the
    // recorded session was ended there (a signal at a station, say).
    bool OnlyClosesLeft() const;
    // The session has ended with `end`: every call must have been made, and the outcome must
    // be the recorded one. Calls after this are not the session's.
    void Finish(const std::string& outcome, std::optional<int> status = std::nullopt);

    std::uint64_t now() const { return now_; }
    bool stopped() const { return stopped_; }
    bool diverged() const { return !report_.empty(); }
    // The one report of a divergence: the call's number, what the trace holds and what the
    // program did, bytes in hex.
    const std::string& report() const { return report_; }
    // A lenient replay's differences, and how many more there were.
    const std::vector<std::string>& notes() const { return notes_; }
    std::size_t notes_left_out() const { return notes_left_out_; }
    // Called once, at the moment of a divergence (the transcript is cut there).
    void OnDiverged(std::function<void()> hook) { on_diverged_ = std::move(hook); }

  private:
    void Diverge(const std::string& what);
    std::string Where(std::size_t index) const;

    Trace trace_;
    const bool lenient_;
    std::size_t next_ = 0;
    std::uint64_t now_ = 0;
    bool stopped_ = false;
    std::string report_;
    std::vector<std::string> notes_;
    std::size_t notes_left_out_ = 0;
    std::function<void()> on_diverged_;
};

// A call's kind and arguments in words, bytes in hex: "hid_write(handle 2, 1000 ms, 65 bytes
// 0041...)".
std::string Describe(const Call& call);
// Where the arguments of two calls of one kind differ, in words.
std::string Difference(const Call& recorded, const Call& made);

}  // namespace qvt::trace
