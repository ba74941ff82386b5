#include "scenario_values.h"

#include <cctype>
#include <charconv>

#include "version_text.h"

namespace qvt::sim::reading {
namespace {

// Where the JSON reader gave up, and whether on a number beyond a double's range; every value
// it reads on the way is let through and dropped.
class ErrorPlace final : public PassingReader {
  public:
    bool parse_error(std::size_t at, const std::string&, const json::exception& error) override {
        last_read = at;
        too_large = error.id == 406;  // the library's number for a float that overflows
        return false;
    }

    std::size_t last_read = 0;  // counted from 1; past the text when it ended too soon
    bool too_large = false;
};

// A byte of a number or a literal (true, Infinity, 1e5, -0.5).
bool InWord(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '+' || c == '-' || c == '.';
}

// Whether the quote at `at` is escaped: an odd number of backslashes before it.
bool Escaped(std::string_view text, std::size_t at) {
    std::size_t backslashes = 0;
    while (at > backslashes && text[at - backslashes - 1] == '\\') ++backslashes;
    return backslashes % 2 == 1;
}

}  // namespace

// At most `most` bytes of `text`, cut at a character's start, with "..." where it was cut.
std::string Excerpt(std::string_view text, std::size_t most) {
    if (text.size() <= most) return std::string(text);
    std::size_t cut = most;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return std::string(text.substr(0, cut)) + "...";
}

// A text from the file as a message quotes it: in JSON's quotes and escapes, so that no
// control character reaches the terminal, and cut short.
std::string Quoted(std::string_view text) {
    return json(Excerpt(text)).dump(-1, ' ', false, json::error_handler_t::replace);
}

// A value from the file as a message shows it, cut short.
std::string Shown(const json& value) {
    return Excerpt(value.dump(-1, ' ', false, json::error_handler_t::replace));
}

std::string JsonError(std::string_view text) {
    ErrorPlace place;
    json::sax_parse(text, &place);
    if (place.last_read == 0 || place.last_read > text.size()) {
        return "malformed JSON at byte " + std::to_string(text.size() + 1) +
               ": the text ends before the value is complete";
    }
    // The reader stops at the token's last byte: the message names it from its first.
    std::size_t begin = place.last_read - 1, end = place.last_read;
    if (text[begin] == '"') {
        do --begin;
        while (begin > 0 && (text[begin] != '"' || Escaped(text, begin)));
    } else if (InWord(text[begin])) {
        while (begin > 0 && InWord(text[begin - 1])) --begin;
        while (end < text.size() && InWord(text[end])) ++end;
    } else {
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
    }
    const std::string where = " at byte " + std::to_string(begin + 1) + ": ";
    const std::string token = Quoted(text.substr(begin, end - begin));
    if (place.too_large) return "unreadable JSON" + where + "the number " + token + " is too large";
    return "malformed JSON" + where + "unexpected " + token;
}

void ListOfAtMost(const json& list, const std::string& where, std::size_t most) {
    if (!list.is_array()) Fail(where, "expected an array");
    if (list.size() > most) Fail(where, "at most " + std::to_string(most) + " entries");
}

void OnlyKeys(const json& object, const std::string& where,
              std::initializer_list<std::string_view> allowed) {
    if (!object.is_object()) Fail(where, "expected an object");
    for (const auto& [key, value] : object.items()) {
        bool known = false;
        for (auto name : allowed) known = known || key == name;
        if (!known) Fail(where, "unknown key " + Quoted(key));
    }
}

long Integer(const json& object, const char* key, const std::string& where, long minimum,
             long maximum, long fallback) {
    if (!object.contains(key)) return fallback;
    const json& value = object.at(key);
    const std::string at = where + "." + key;
    if (!value.is_number_integer()) Fail(at, "expected a whole number");
    const auto number = value.get<long long>();
    if (number < minimum || number > maximum) {
        Fail(at, "must lie between " + std::to_string(minimum) + " and " + std::to_string(maximum));
    }
    return static_cast<long>(number);
}

// A 16-bit value, as a number or as "0x" and one to four hexadecimal digits: nothing else
// (no sign, blank or missing prefix) is taken for hexadecimal.
std::uint16_t HexWord(const json& object, const char* key, const std::string& where) {
    const std::string at = where + "." + key;
    if (!object.contains(key)) Fail(at, "missing");
    const json& value = object.at(key);
    if (value.is_number_integer()) {
        const auto number = value.get<long long>();
        if (number < 0 || number > 0xFFFF) Fail(at, "must lie between 0 and 0xFFFF");
        return static_cast<std::uint16_t>(number);
    }
    if (!value.is_string()) Fail(at, "expected a hexadecimal string such as \"0x1232\"");
    const auto text = value.get<std::string>();
    const bool prefixed = text.size() > 2 && text.size() <= 6 && text[0] == '0' && text[1] == 'x';
    unsigned number = 0;
    const char* end = text.data() + text.size();
    if (!prefixed || std::from_chars(text.data() + 2, end, number, 16).ptr != end) {
        Fail(at, Quoted(text) + " is not a 16-bit hexadecimal number");
    }
    return static_cast<std::uint16_t>(number);
}

std::uint16_t Version(const json& object, const char* key, const std::string& where) {
    const std::string at = where + "." + key;
    if (!object.contains(key)) Fail(at, "missing");
    const json& value = object.at(key);
    if (!value.is_string()) Fail(at, "expected a version such as \"3.10\"");
    const auto parsed = ParseVersion(value.get<std::string>());
    if (!parsed) Fail(at, Quoted(value.get<std::string>()) + " is not a version such as \"3.10\"");
    return *parsed;
}

UnitSetup ParseUnit(const json& object, const std::string& where) {
    OnlyKeys(object, where, {"mode", "version"});
    UnitSetup unit;  // without a mode, in its application, as --simulate's unit
    if (object.contains("mode")) {
        const json& mode = object.at("mode");
        if (mode == "application") {
            unit.mode = UnitSetup::Mode::kApplication;
        } else if (mode == "boot") {
            unit.mode = UnitSetup::Mode::kBoot;
        } else {
            Fail(where + ".mode", "expected \"application\" or \"boot\", not " + Shown(mode));
        }
    }
    if (object.contains("version")) {
        unit.version = Version(object, "version", where);
    } else if (unit.mode == UnitSetup::Mode::kBoot) {
        unit.version.reset();  // a unit found in its boot loader may have no application at all
    }
    return unit;
}

CommandFilter ParseCommand(const json& object, const std::string& where) {
    if (!object.contains("command")) return CommandFilter::kAny;
    const json& value = object.at("command");
    static const std::pair<const char*, CommandFilter> kNames[] = {
        {"erase", CommandFilter::kErase},
        {"program", CommandFilter::kProgram},
        {"program_end", CommandFilter::kProgramEnd},
        {"read", CommandFilter::kRead},
        {"reset", CommandFilter::kReset},
        {"any", CommandFilter::kAny}};
    for (const auto& [name, filter] : kNames) {
        if (value == name) return filter;
    }
    Fail(where + ".command",
         "unknown command " + Shown(value) + " (erase, program, program_end, read, reset or any)");
}

}  // namespace qvt::sim::reading
