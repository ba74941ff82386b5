#include <algorithm>
#include <initializer_list>
#include <stdexcept>

#include "flat_json.h"
#include "trace.h"
#include "trace_lines.h"
#include "utf8.h"

namespace qvt::trace {
namespace {

using Line = FlatObject;
using Type = FlatValue::Type;

// What is wrong with one line; caught once, with the line's number put in front.
struct Bad : std::runtime_error {
    using std::runtime_error::runtime_error;
};

void OnlyKeys(const Line& line, std::initializer_list<std::string_view> keys) {
    for (const auto& [key, value] : line.members) {
        bool known = false;
        for (const std::string_view name : keys) known = known || key == name;
        if (!known) throw Bad("unknown key " + Quoted(key));
    }
}

const FlatValue& Member(const Line& line, const char* key) {
    const FlatValue* found = line.Find(key);
    if (!found) throw Bad(std::string("no \"") + key + "\"");
    return *found;
}

std::uint64_t Number(const Line& line, const char* key, std::uint64_t most) {
    const FlatValue& value = Member(line, key);
    if (value.type != Type::kNumber || value.number > most) {
        throw Bad(std::string("\"") + key + "\" is not a whole number up to " +
                  std::to_string(most));
    }
    return value.number;
}

bool Flag(const Line& line, const char* key) {
    const FlatValue& value = Member(line, key);
    if (value.type != Type::kBool) throw Bad(std::string("\"") + key + "\" is not true or false");
    return value.flag;
}

// A name or a sentence: the program's own are short, and so is what a report repeats of them.
std::string Text(const Line& line, const char* key) {
    constexpr std::size_t kMostBytes = 256;
    const FlatValue& value = Member(line, key);
    if (value.type != Type::kString) throw Bad(std::string("\"") + key + "\" is not a string");
    if (value.text.size() > kMostBytes && std::string_view(key) != "bytes" &&
        std::string_view(key) != "in" && std::string_view(key) != "out") {
        throw Bad(std::string("\"") + key + "\" is longer than 256 bytes");
    }
    return value.text;
}

// Hex digits, lower case, two a byte.
std::vector<std::uint8_t> FromHex(std::string_view text, const char* key, std::size_t most) {
    const std::string why =
        std::string("\"") + key + "\" is not up to " + std::to_string(most) + " bytes in hex";
    if (text.size() % 2 != 0 || text.size() / 2 > most) throw Bad(why);
    auto digit = [&why](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        throw Bad(why);
    };
    std::vector<std::uint8_t> bytes(text.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(digit(text[2 * i]) << 4 | digit(text[2 * i + 1]));
    }
    return bytes;
}

std::vector<std::uint8_t> Bytes(const Line& line, const char* key, std::size_t most) {
    return FromHex(Text(line, key), key, most);
}

// "0x" and exactly `digits` hex digits, as a number.
std::uint32_t Hexadecimal(const Line& line, const char* key, std::size_t digits) {
    const std::string text = Text(line, key);
    if (text.size() != digits + 2 || text.rfind("0x", 0) != 0) {
        throw Bad(std::string("\"") + key + "\" is not 0x and " + std::to_string(digits) +
                  " hex digits");
    }
    std::string lower = text.substr(2);
    for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c);
    std::uint32_t value = 0;
    for (const std::uint8_t byte : FromHex(lower, key, digits / 2)) value = value << 8 | byte;
    return value;
}

Transfer TransferOf(const Line& line) {
    const std::string name = Text(line, "result");
    for (const Transfer transfer : {Transfer::kCompleted, Transfer::kFailed, Transfer::kTimedOut}) {
        if (name == TransferName(transfer)) return transfer;
    }
    throw Bad("\"result\" is not completed, failed or timed out");
}

int HandleOf(const Line& line) {
    return static_cast<int>(Number(line, "h", kMaxCalls));
}

// The call on one line, and how many sleeps it stands for.
Call ParseCall(const Line& line, std::size_t& count) {
    const auto kind = KindNamed(Text(line, "call"));
    if (!kind) throw Bad("unknown call " + Quoted(Text(line, "call")));
    Call call;
    call.kind = *kind;
    count = 1;
    switch (call.kind) {
        case CallKind::kDriverOpen:
            OnlyKeys(line, {"call", "name", "h", "t"});
            call.name = Text(line, "name");
            call.handle = HandleOf(line);
            break;
        case CallKind::kDriverIoctl: {
            OnlyKeys(line, {"call", "h", "code", "in", "out_size", "ok", "returned", "out", "t"});
            call.handle = HandleOf(line);
            call.code = Hexadecimal(line, "code", 8);
            call.in = Bytes(line, "in", 4096);
            call.size = Number(line, "out_size", 4096);
            call.ok = Flag(line, "ok");
            call.returned = Number(line, "returned", call.size);
            call.out = Bytes(line, "out", call.size);
            break;
        }
        case CallKind::kHidPath: {
            OnlyKeys(line, {"call", "index", "path", "t"});
            call.index = Number(line, "index", kMaxCalls);
            if (Member(line, "path").type != Type::kNull)
                call.path = static_cast<int>(Number(line, "path", kMaxCalls));
            break;
        }
        case CallKind::kHidOpen:
            OnlyKeys(line, {"call", "path", "h", "t"});
            call.path = static_cast<int>(Number(line, "path", kMaxCalls));
            call.handle = HandleOf(line);
            break;
        case CallKind::kHidAttributes:
        case CallKind::kHidInspect:
            if (call.kind == CallKind::kHidInspect) {
                OnlyKeys(line, {"call", "path", "ok", "vendor", "product", "version", "t"});
                call.path = static_cast<int>(Number(line, "path", kMaxCalls));
            } else {
                OnlyKeys(line, {"call", "h", "ok", "vendor", "product", "version", "t"});
                call.handle = HandleOf(line);
            }
            call.ok = Flag(line, "ok");
            if (call.ok) {
                call.attributes = {static_cast<std::uint16_t>(Hexadecimal(line, "vendor", 4)),
                                   static_cast<std::uint16_t>(Hexadecimal(line, "product", 4)),
                                   static_cast<std::uint16_t>(Hexadecimal(line, "version", 4))};
            }
            break;
        case CallKind::kHidWrite:
        case CallKind::kHidRead: {
            OnlyKeys(line, {"call", "h", "ms", "size", "result", "bytes", "t"});
            call.handle = HandleOf(line);
            call.ms = static_cast<std::uint32_t>(Number(line, "ms", UINT32_MAX));
            call.size = line.Find("size") ? Number(line, "size", 4096) : kReportSize;
            call.transfer = TransferOf(line);
            std::vector<std::uint8_t>& bytes =
                call.kind == CallKind::kHidWrite ? call.in : call.out;
            if (call.kind == CallKind::kHidWrite || call.transfer == Transfer::kCompleted) {
                bytes = Bytes(line, "bytes", call.size);
                bytes.resize(call.size, 0);
            } else if (line.Find("bytes")) {
                throw Bad("a read that did not complete brought no bytes");
            }
            break;
        }
        case CallKind::kDriverClose:
        case CallKind::kHidClose:
            OnlyKeys(line, {"call", "h", "t"});
            call.handle = HandleOf(line);
            break;
        case CallKind::kSleep:
            OnlyKeys(line, {"call", "ms", "n", "t"});
            call.ms = static_cast<std::uint32_t>(Number(line, "ms", UINT32_MAX));
            if (line.Find("n")) count = Number(line, "n", UINT32_MAX);
            if (count == 0) throw Bad("\"n\" is 0");
            break;
        case CallKind::kStart:
            OnlyKeys(line, {"call", "force", "t"});
            call.ok = Flag(line, "force");
            break;
    }
    return call;
}

const std::string kNotATrace =
    "not a trace: the first line names no schema \"" + std::string(kSchema) + "\"";

bool NamesSchema(const Line& line) {
    const FlatValue* schema = line.Find("schema");
    return schema && schema->type == Type::kString && schema->text == kSchema;
}

Header ParseHeader(const Line& line) {
    if (!NamesSchema(line)) {
        throw Bad(kNotATrace);
    }
    const FlatValue* version = line.Find("version");
    if (!version || version->type != Type::kNumber || version->number < kOldestSchemaVersion ||
        version->number > kSchemaVersion) {
        throw Bad("a schema version this program does not read (it reads versions " +
                  std::to_string(kOldestSchemaVersion) + " to " + std::to_string(kSchemaVersion) +
                  ")");
    }
    OnlyKeys(line, {"schema", "version", "program", "program_version", "build", "system", "driver",
                    "image_sha256", "start_utc", "front_end", "force", "units"});
    Header header;
    header.program = Text(line, "program");
    header.program_version = Text(line, "program_version");
    header.build = Text(line, "build");
    header.system = Text(line, "system");
    header.driver = Flag(line, "driver");
    header.image_sha256 = Text(line, "image_sha256");
    header.start_utc = Text(line, "start_utc");
    header.front_end = Text(line, "front_end");
    if (header.front_end != "window" && header.front_end != "console" &&
        header.front_end != "json" && header.front_end != "station" &&
        header.front_end != "check") {
        throw Bad("front end " + Quoted(header.front_end) +
                  " is none of window, console, json, station, check");
    }
    header.force = Flag(line, "force");
    if (line.Find("units")) header.units = static_cast<int>(Number(line, "units", INT32_MAX));
    return header;
}

End ParseEnd(const Line& line) {
    OnlyKeys(line, {"outcome", "status", "cut"});
    End end;
    end.outcome = Text(line, "outcome");
    if (line.Find("status")) end.status = static_cast<int>(Number(line, "status", 255));
    if (line.Find("cut")) end.cut = Flag(line, "cut");
    return end;
}

}  // namespace

bool IsTraceHeader(std::string_view line) {
    const Result<Line> parsed = ParseFlatObject(line);
    return parsed && NamesSchema(*parsed);
}

Result<Trace> ParseTrace(std::string_view text) {
    Trace trace;
    std::size_t number = 0, calls = 0;
    bool ended = false;
    std::uint64_t t = 0;
    // No more than a trace may hold: a file of bare newlines would otherwise reserve gigabytes.
    trace.calls.reserve(
        std::min(kMaxCalls, static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'))));
    try {
        for (std::size_t at = 0; at < text.size();) {
            ++number;
            std::size_t end = text.find('\n', at);
            if (end == std::string_view::npos) end = text.size();
            const std::string_view line = text.substr(at, end - at);
            at = end + 1;
            if (line.size() > kMaxLineBytes) throw Bad("longer than 64 KiB");
            if (line.find('\0') != std::string_view::npos) throw Bad("a NUL byte");
            if (!IsUtf8(line)) throw Bad("not UTF-8");
            if (ended) throw Bad("a line after the outcome");
            const Result<Line> read = ParseFlatObject(line);
            if (!read && number == 1) throw Bad(kNotATrace);
            if (!read) throw Bad("not a flat JSON object: " + read.error());
            const Line& parsed = *read;
            if (number == 1) {
                trace.header = ParseHeader(parsed);
                continue;
            }
            if (parsed.Find("outcome")) {
                trace.end = ParseEnd(parsed);
                ended = true;
                continue;
            }
            std::size_t count = 1;
            Call call = ParseCall(parsed, count);
            if (calls + count > kMaxCalls) throw Bad("more than 100,000 calls");
            calls += count;
            const std::uint64_t start = t;
            const std::uint64_t implied =
                start + (call.kind == CallKind::kSleep ? std::uint64_t{call.ms} * count : 0);
            const std::uint64_t stated =
                parsed.Find("t") ? Number(parsed, "t", UINT64_MAX / 4) : implied;
            if (stated < start) throw Bad("time goes back");
            for (std::size_t k = 1; k <= count; ++k) {
                // A run of sleeps keeps only its last one's time: those before it had their length.
                call.t_ms =
                    k == count ? stated : std::min(stated, start + std::uint64_t{call.ms} * k);
                if (k == count) {
                    trace.calls.push_back(std::move(call));
                } else {
                    trace.calls.push_back(call);
                }
                trace.lines.push_back(number);
            }
            t = stated;
        }
    } catch (const Bad& bad) {
        return Result<Trace>::Failure("line " + std::to_string(number) + ": " + bad.what());
    }
    if (number == 0) return Result<Trace>::Failure("empty: no header line");
    if (!ended) {
        return Result<Trace>::Failure("cut short: no outcome line after line " +
                                      std::to_string(number));
    }
    return trace;
}

}  // namespace qvt::trace
