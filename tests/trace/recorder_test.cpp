// What a recording keeps: every call with its answer and its time, within its bounds, and
// nothing of the machine; a write that fails is told once and changes nothing else.
#include <gtest/gtest.h>

#include "trace_lines.h"
#include "trace_rig.h"

namespace qvt::testing {
namespace {

TEST(Recording, AWholeUpdatesTraceFitsInAMegabyteAndReadsBackCallForCall) {
    RecordedRig rig(kOneOutdatedUnit);
    const std::string text = rig.Session();
    ASSERT_TRUE(rig.updater.sequence.last_run()->completed());
    EXPECT_LE(text.size(), 1'000'000u);
    const auto trace = trace::ParseTrace(text);
    ASSERT_TRUE(trace) << trace.error();
    EXPECT_EQ(trace->calls.size(), rig.recorder.calls());
    EXPECT_EQ(trace->end.outcome, "update completed (the unit came back current)");
    // Interfaces by their order of listing only: the adapter's paths stay on the machine.
    EXPECT_EQ(text.find("sim-hid/"), std::string::npos);
}

// Each call's time is kept, whether its line states it or implies it (a run of sleeps keeps
// only its end): what the replay's clock will say at each call.
TEST(Recording, EveryCallReadsBackWithTheTimeItReturnedAt) {
    sim::VirtualClock clock;
    trace::TraceRecorder recorder({}, clock);
    trace::RecordingClock recorded(clock, recorder);
    struct Step {
        std::uint32_t sleep_ms;
        std::uint32_t transfer_ms;  // time taken by a call between two sleeps, if any
    };
    const Step steps[] = {{50, 0}, {50, 0}, {50, 3}, {1000, 0}, {1000, 0}, {50, 1}, {7, 0}};
    std::vector<std::uint64_t> times;
    for (const Step& step : steps) {
        recorded.Sleep(step.sleep_ms);
        times.push_back(clock.NowMs());
        if (step.transfer_ms != 0) {
            clock.Sleep(step.transfer_ms);
            trace::Call call;
            call.kind = trace::CallKind::kHidPath;
            recorder.Add(call);
            times.push_back(clock.NowMs());
        }
    }
    recorder.Finish({"no update run", {}, false});
    const auto trace = trace::ParseTrace(recorder.Text({}));
    ASSERT_TRUE(trace) << trace.error();
    ASSERT_EQ(trace->calls.size(), times.size());
    for (std::size_t i = 0; i < times.size(); ++i) EXPECT_EQ(trace->calls[i].t_ms, times[i]) << i;
    EXPECT_EQ(trace->lines.back(), 7u);  // three runs of sleeps share lines: 9 calls on 6 lines
}

class FailingOutput final : public trace::TraceOutput {
  public:
    explicit FailingOutput(int& writes) : writes_(writes) {}
    Result<void> Write(std::string_view) override {
        ++writes_;
        return Result<void>::Failure("No space left on device");
    }
    std::string Name() const override { return "the trace file /full"; }

  private:
    int& writes_;
};

TEST(Recording, AFailedWriteIsToldOnceAndTheRecordingInMemoryGoesOn) {
    RecordedRig rig(kOneOutdatedUnit);
    int writes = 0;
    std::vector<std::string> told;
    rig.recorder.SetNotice([&](const std::string& line) { told.push_back(line); });
    rig.recorder.SetOutput(std::make_unique<FailingOutput>(writes));
    const std::string text = rig.Session();
    EXPECT_TRUE(rig.updater.sequence.last_run()->completed());
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(told, std::vector<std::string>{"[Trace]cannot write the trace file /full: No space "
                                             "left on device; the run goes on"});
    EXPECT_TRUE(trace::ParseTrace(text));
}

TEST(Recording, ARecordingStopsAtItsBoundSaysSoOnceAndStaysReadable) {
    sim::VirtualClock clock;
    trace::TraceRecorder recorder({}, clock);
    trace::RecordingClock recorded(clock, recorder);
    int told = 0;
    recorder.SetNotice([&](const std::string&) { ++told; });
    for (std::size_t i = 0; i < trace::kMaxCalls + 5; ++i) recorded.Sleep(i % 2 ? 1 : 2);
    recorder.Finish({"no update run", {}, false});
    EXPECT_EQ(told, 1);
    const auto trace = trace::ParseTrace(recorder.Text({}));
    ASSERT_TRUE(trace) << trace.error();
    EXPECT_EQ(trace->calls.size(), trace::kMaxCalls);
    EXPECT_TRUE(trace->end.cut);
}

}  // namespace
}  // namespace qvt::testing
