#include "trace_recorder.h"

#include "texts.h"
#include "trace_lines.h"

namespace qvt::trace {
namespace {

constexpr std::size_t kWriteChunk = 64 * 1024;
constexpr std::uint64_t kWriteIntervalMs = 1000;
constexpr std::size_t kReserved = 1024 * 1024;

}  // namespace

TraceRecorder::TraceRecorder(Header header, const Clock& clock)
    : header_(std::move(header)), clock_(clock), origin_(clock.NowMs()) {}

void TraceRecorder::SetOutput(std::unique_ptr<TraceOutput> output) {
    output_ = std::move(output);
    Write();
}

int TraceRecorder::PathNumber(const std::string& path) {
    return paths_.try_emplace(path, static_cast<int>(paths_.size())).first->second;
}

void TraceRecorder::Append(const std::string& line) {
    if (lines_.empty()) {
        // An update's trace is most of a megabyte: room for it from the start.
        lines_.reserve(kReserved);
        lines_ += HeaderLine(header_);
        lines_ += '\n';
    }
    lines_ += line;
    lines_ += '\n';
}

bool TraceRecorder::Room() {
    if (finished_ || cut_) return false;
    if (calls_ < kMaxCalls) return true;
    cut_ = true;
    if (tell_) tell_(std::string(logtext::kTraceFull));
    return false;
}

void TraceRecorder::EndSleepRun() {
    if (sleeps_ == 0) return;
    Call sleep;
    sleep.kind = CallKind::kSleep;
    sleep.ms = sleep_ms_;
    sleep.t_ms = sleep_end_t_;
    Append(CallLine(sleep, last_t_, sleeps_));
    last_t_ = sleep_end_t_;
    sleeps_ = 0;
}

void TraceRecorder::Add(Call call) {
    if (!Room()) return;
    ++calls_;
    EndSleepRun();
    call.t_ms = Now();
    Append(CallLine(call, last_t_));
    last_t_ = call.t_ms;
    if (lines_.size() - written_ >= kWriteChunk) Write();
}

void TraceRecorder::BeforeSleep() {
    if (Now() - last_write_t_ >= kWriteIntervalMs) Write();
}

void TraceRecorder::Slept(std::uint32_t ms) {
    if (!Room()) return;
    ++calls_;
    if (sleeps_ != 0 && sleep_ms_ != ms) EndSleepRun();
    sleep_ms_ = ms;
    ++sleeps_;
    sleep_end_t_ = Now();
}

void TraceRecorder::Write() {
    last_write_t_ = Now();
    if (!output_ || output_failed_ || written_ == lines_.size()) return;
    const Result<void> written =
        output_->Write(std::string_view(lines_).substr(written_, lines_.size() - written_));
    written_ = lines_.size();
    if (written) return;
    // Kept, not destroyed: whoever opened it may still wait for what it had taken to drain.
    output_failed_ = true;
    const std::string name = output_->Name();
    if (tell_) {
        tell_(std::string(logtext::kTraceNotWritten) + name + ": " + written.error() +
              "; the run goes on");
    }
}

void TraceRecorder::Finish(const End& end) {
    if (finished_) return;
    EndSleepRun();
    if (lines_.empty()) lines_ = HeaderLine(header_) + '\n';
    End closing = end;
    closing.cut = cut_;
    lines_ += EndLine(closing) + '\n';
    finished_ = true;
    Write();
}

std::string TraceRecorder::Text(const End& end) {
    if (finished_) return lines_;
    EndSleepRun();
    End closing = end;
    closing.cut = cut_;
    return (lines_.empty() ? HeaderLine(header_) + '\n' : lines_) + EndLine(closing) + '\n';
}

}  // namespace qvt::trace
