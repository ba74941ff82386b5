#pragma once

#include <string>
#include <utility>
#include <variant>

namespace qvt {

// What an operation that can fail for a reason gives back: its value, or why not, in words fit
// for one line of a message (reading a scenario, the command line, starting a back end,
// checking or writing a file). The device boundary keeps the booleans the product always had.
//
//     Result<Scenario> read = LoadScenarioFile(path);
//     if (!read) return Result<Backend>::Failure(read.error());
//     Use(*read);
template <typename T>
class [[nodiscard]] Result {
  public:
    Result(T value) : state_(std::move(value)) {}
    static Result Failure(std::string why) { return Result(Why{std::move(why)}); }

    explicit operator bool() const { return std::holds_alternative<T>(state_); }
    T& operator*() { return std::get<T>(state_); }
    const T& operator*() const { return std::get<T>(state_); }
    T* operator->() { return &std::get<T>(state_); }
    const T* operator->() const { return &std::get<T>(state_); }
    // Why it failed; only for a failed result.
    const std::string& error() const { return std::get<Why>(state_).text; }

  private:
    struct Why {
        std::string text;
    };
    explicit Result(Why why) : state_(std::move(why)) {}

    std::variant<T, Why> state_;
};

// A check or an act with nothing to give back: it passed, or why not.
template <>
class [[nodiscard]] Result<void> {
  public:
    Result() = default;
    static Result Failure(std::string why) {
        Result failed;
        failed.failed_ = true;
        failed.why_ = std::move(why);
        return failed;
    }

    explicit operator bool() const { return !failed_; }
    const std::string& error() const { return why_; }

  private:
    bool failed_ = false;
    std::string why_;
};

}  // namespace qvt
