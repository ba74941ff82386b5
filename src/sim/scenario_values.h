#pragma once

// The scenario reader's vocabulary: its bounds, its one error, and how it reads and quotes
// the values of a scenario file.
#include <cstdint>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "scenario.h"

namespace qvt::sim::reading {

using nlohmann::json;

// Raised inside the parser only, and turned into the result's message at its edge.
struct ScenarioError {
    std::string message;
};

[[noreturn]] inline void Fail(const std::string& where, const std::string& what) {
    throw ScenarioError{where + ": " + what};
}

// A scenario describes a bench, not a warehouse: the text, its nesting and every list are
// bounded, so that no file can make the reader or the simulator work or allocate without end.
inline constexpr std::size_t kMaxUnits = 16;
inline constexpr std::size_t kMaxForeign = 64;
inline constexpr std::size_t kMaxFaults = 64;
inline constexpr std::size_t kMaxEvents = 64;
// The deepest a valid scenario goes is 4 (a unit inside a fault inside the list of faults).
inline constexpr int kMaxDepth = 16;
// What a message quotes of the text: enough to find the place, never the whole of it.
inline constexpr std::size_t kExcerptBytes = 40;

// A reader of the text's events that lets every one through and stops at malformed text; the
// scenario's own readers override the events they look at.
class PassingReader : public nlohmann::json_sax<json> {
  public:
    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool start_object(std::size_t) override { return true; }
    bool key(string_t&) override { return true; }
    bool end_object() override { return true; }
    bool start_array(std::size_t) override { return true; }
    bool end_array() override { return true; }
    bool parse_error(std::size_t, const std::string&, const json::exception&) override {
        return false;
    }
};

// At most `most` bytes of `text`, cut at a character's start, with "..." where it was cut.
std::string Excerpt(std::string_view text, std::size_t most = kExcerptBytes);
// A text from the file as a message quotes it: in JSON's quotes and escapes, so that no
// control character reaches the terminal, and cut short.
std::string Quoted(std::string_view text);
// A value from the file as a message shows it, cut short.
std::string Shown(const json& value);
// Why `text`, which the JSON reader refused, is no JSON the scenario reader can take, in the
// reader's words: one position, the byte (counted from 1) where the offending token begins, and
// the token, quoted; or that the text ends before its value does.
std::string JsonError(std::string_view text);
void ListOfAtMost(const json& list, const std::string& where, std::size_t most);
void OnlyKeys(const json& object, const std::string& where,
              std::initializer_list<std::string_view> allowed);
// The whole number at `key` within [minimum, maximum]; `fallback` where the key is missing.
long Integer(const json& object, const char* key, const std::string& where, long minimum,
             long maximum, long fallback);
// A 16-bit value, as a number or as "0x" and one to four hexadecimal digits: nothing else
// (no sign, blank, missing or capital prefix) is taken for hexadecimal.
std::uint16_t HexWord(const json& object, const char* key, const std::string& where);
std::uint16_t Version(const json& object, const char* key, const std::string& where);
UnitSetup ParseUnit(const json& object, const std::string& where);
CommandFilter ParseCommand(const json& object, const std::string& where);

}  // namespace qvt::sim::reading
