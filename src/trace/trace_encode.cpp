#include <array>
#include <chrono>
#include <ctime>

#include "trace.h"
#include "trace_lines.h"

namespace qvt::trace {
namespace {

constexpr std::array<std::string_view, 12> kKindNames = {
    "driver_open", "driver_ioctl", "driver_close", "hid_path",  "hid_open", "hid_attributes",
    "hid_inspect", "hid_write",    "hid_read",     "hid_close", "sleep",    "start"};

// A report's trailing zero bytes are left out: most requests are a command and zeros.
std::span<const std::uint8_t> Trimmed(std::span<const std::uint8_t> bytes) {
    std::size_t size = bytes.size();
    while (size > 0 && bytes[size - 1] == 0) --size;
    return bytes.first(size);
}

void AppendQuoted(std::string& line, std::string_view text) {
    line += '"';
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            line += '\\';
            line += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            constexpr char kDigits[] = "0123456789abcdef";
            line += "\\u00";
            line += kDigits[(c >> 4) & 0xF];
            line += kDigits[c & 0xF];
        } else {
            line += c;
        }
    }
    line += '"';
}

void Field(std::string& line, std::string_view key, std::uint64_t value) {
    line.append(",\"").append(key).append("\":").append(std::to_string(value));
}
void Field(std::string& line, std::string_view key, bool value) {
    line.append(",\"").append(key).append("\":").append(value ? "true" : "false");
}
void Field(std::string& line, std::string_view key, std::string_view text) {
    line.append(",\"").append(key).append("\":");
    AppendQuoted(line, text);
}
void HexField(std::string& line, std::string_view key, std::span<const std::uint8_t> bytes) {
    line.append(",\"").append(key).append("\":\"").append(Hex(bytes)).append("\"");
}
std::string Hex16(std::uint16_t value) {
    constexpr char kDigits[] = "0123456789abcdef";
    std::string text = "0x";
    for (int shift = 12; shift >= 0; shift -= 4) text += kDigits[(value >> shift) & 0xF];
    return text;
}

}  // namespace

std::string_view KindName(CallKind kind) {
    return kKindNames[static_cast<std::size_t>(kind)];
}

std::optional<CallKind> KindNamed(std::string_view name) {
    for (std::size_t i = 0; i < kKindNames.size(); ++i) {
        if (kKindNames[i] == name) return static_cast<CallKind>(i);
    }
    return std::nullopt;
}

std::string_view TransferName(Transfer transfer) {
    switch (transfer) {
        case Transfer::kCompleted:
            return "completed";
        case Transfer::kFailed:
            return "failed";
        case Transfer::kTimedOut:
            return "timed out";
    }
    return "failed";
}

std::string Hex(std::span<const std::uint8_t> bytes) {
    constexpr char kDigits[] = "0123456789abcdef";
    std::string text(bytes.size() * 2, '0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        text[2 * i] = kDigits[bytes[i] >> 4];
        text[2 * i + 1] = kDigits[bytes[i] & 0xF];
    }
    return text;
}

std::string UtcNow() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    char text[32] = "";
    // One GUI thread: the shared buffer of std::gmtime is never raced.
    if (const std::tm* utc = std::gmtime(&now)) {
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", utc);
    }
    return text;
}

std::string HeaderLine(const Header& header) {
    std::string line = "{\"schema\":";
    AppendQuoted(line, kSchema);
    Field(line, "version", std::uint64_t{kSchemaVersion});
    Field(line, "program", header.program);
    Field(line, "program_version", header.program_version);
    Field(line, "build", header.build);
    Field(line, "system", header.system);
    Field(line, "driver", header.driver);
    Field(line, "image_sha256", header.image_sha256);
    Field(line, "start_utc", header.start_utc);
    Field(line, "front_end", header.front_end);
    Field(line, "force", header.force);
    if (header.units) Field(line, "units", static_cast<std::uint64_t>(*header.units));
    return line + "}";
}

std::string EndLine(const End& end) {
    std::string line = "{\"outcome\":";
    AppendQuoted(line, end.outcome);
    if (end.status) Field(line, "status", static_cast<std::uint64_t>(*end.status));
    if (end.cut) Field(line, "cut", true);
    return line + "}";
}

std::string CallLine(const Call& call, std::uint64_t previous_t, std::size_t count) {
    std::string line;
    line.reserve(64 + 2 * (call.in.size() + call.out.size()));
    line.append("{\"call\":\"").append(KindName(call.kind)).append("\"");
    std::uint64_t implied_t = previous_t;
    switch (call.kind) {
        case CallKind::kDriverOpen:
            Field(line, "name", call.name);
            Field(line, "h", static_cast<std::uint64_t>(call.handle));
            break;
        case CallKind::kDriverIoctl: {
            Field(line, "h", static_cast<std::uint64_t>(call.handle));
            char code[16];
            std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(call.code));
            Field(line, "code", std::string_view(code));
            HexField(line, "in", call.in);
            Field(line, "out_size", static_cast<std::uint64_t>(call.size));
            Field(line, "ok", call.ok);
            Field(line, "returned", static_cast<std::uint64_t>(call.returned));
            HexField(line, "out", call.out);
            break;
        }
        case CallKind::kHidPath:
            Field(line, "index", static_cast<std::uint64_t>(call.index));
            if (call.path) {
                Field(line, "path", static_cast<std::uint64_t>(*call.path));
            } else {
                line += ",\"path\":null";
            }
            break;
        case CallKind::kHidOpen:
            Field(line, "path", static_cast<std::uint64_t>(call.path.value_or(0)));
            Field(line, "h", static_cast<std::uint64_t>(call.handle));
            break;
        case CallKind::kHidAttributes:
        case CallKind::kHidInspect:
            if (call.kind == CallKind::kHidInspect) {
                Field(line, "path", static_cast<std::uint64_t>(call.path.value_or(0)));
            } else {
                Field(line, "h", static_cast<std::uint64_t>(call.handle));
            }
            Field(line, "ok", call.ok);
            if (call.ok) {
                Field(line, "vendor", Hex16(call.attributes.vendor_id));
                Field(line, "product", Hex16(call.attributes.product_id));
                Field(line, "version", Hex16(call.attributes.version));
            }
            break;
        case CallKind::kHidWrite:
        case CallKind::kHidRead: {
            const bool write = call.kind == CallKind::kHidWrite;
            Field(line, "h", static_cast<std::uint64_t>(call.handle));
            Field(line, "ms", static_cast<std::uint64_t>(call.ms));
            if (call.size != kReportSize)
                Field(line, "size", static_cast<std::uint64_t>(call.size));
            Field(line, "result", TransferName(call.transfer));
            if (write) {
                HexField(line, "bytes", Trimmed(call.in));
            } else if (call.transfer == Transfer::kCompleted) {
                HexField(line, "bytes", Trimmed(call.out));
            }
            break;
        }
        case CallKind::kDriverClose:
        case CallKind::kHidClose:
            Field(line, "h", static_cast<std::uint64_t>(call.handle));
            break;
        case CallKind::kSleep:
            Field(line, "ms", static_cast<std::uint64_t>(call.ms));
            if (count != 1) Field(line, "n", static_cast<std::uint64_t>(count));
            implied_t += std::uint64_t{call.ms} * count;
            break;
        case CallKind::kStart:
            Field(line, "force", call.ok);
            break;
    }
    if (call.t_ms != implied_t) Field(line, "t", call.t_ms);
    line += '}';
    return line;
}

bool Call::SameArguments(const Call& other) const {
    if (kind != other.kind) return false;
    switch (kind) {
        case CallKind::kDriverOpen:
            return name == other.name;
        case CallKind::kDriverIoctl:
            return handle == other.handle && code == other.code && in == other.in &&
                   size == other.size;
        case CallKind::kHidPath:
            return index == other.index;
        case CallKind::kHidOpen:
        case CallKind::kHidInspect:
            return path == other.path;
        case CallKind::kHidWrite:
            return handle == other.handle && ms == other.ms && size == other.size && in == other.in;
        case CallKind::kHidRead:
            return handle == other.handle && ms == other.ms && size == other.size;
        case CallKind::kHidAttributes:
        case CallKind::kDriverClose:
        case CallKind::kHidClose:
            return handle == other.handle;
        case CallKind::kSleep:
            return ms == other.ms;
        case CallKind::kStart:
            return ok == other.ok;
    }
    return false;
}

}  // namespace qvt::trace
