#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hid_bus.h"

namespace qvt::trace {

// A trace is JSON Lines under a shipped schema (packaging/qvt-update-trace.schema.json; a
// change to the format takes a new version): a header, one line per call the core made on
// the device ports (a run of equal sleeps shares a line), and the session's outcome last.
inline constexpr std::string_view kSchema = "qvt-update-trace";
// Version 2 added hid_inspect; a version 1 trace reads as it always did.
inline constexpr int kSchemaVersion = 2;
inline constexpr int kOldestSchemaVersion = 1;
// What a reader accepts, and what a recorder keeps: beyond these a trace is not a session's.
inline constexpr std::size_t kMaxCalls = 100'000;
inline constexpr std::size_t kMaxLineBytes = 64 * 1024;

enum class CallKind {
    kDriverOpen,     // the maker's driver: a device object opened by its name
    kDriverIoctl,    // a control code on an open object
    kDriverClose,    // the object closed
    kHidPath,        // the interface listed at an index
    kHidOpen,        // an interface opened by its path
    kHidAttributes,  // an open interface's vendor, product and version
    kHidInspect,     // an interface's vendor, product and version, read without opening it
    kHidWrite,       // a report out, within its bound
    kHidRead,        // a report in, within its bound
    kHidClose,       // the interface closed
    kSleep,          // the clock
    kStart,          // a run began (Start clicked), with the force box as it stood
};

// The name of a kind as a trace writes it ("hid_write"), and back.
std::string_view KindName(CallKind kind);
std::optional<CallKind> KindNamed(std::string_view name);
std::string_view TransferName(Transfer transfer);

// One call and its answer. Which fields a kind uses is the schema's to say; the rest stay as
// they are here. Handles are numbered from 1 in the order they opened (0: the open failed);
// interface paths are numbered from 0 in the order they were first listed, so that no path of
// the machine is kept.
struct Call {
    CallKind kind = CallKind::kSleep;
    int handle = 0;
    std::string name;                // kDriverOpen
    std::uint32_t code = 0;          // kDriverIoctl
    std::vector<std::uint8_t> in;    // kDriverIoctl's input, kHidWrite's report
    std::size_t size = kReportSize;  // kDriverIoctl's output room; kHidWrite's, kHidRead's length
    std::vector<std::uint8_t> out;   // kDriverIoctl's output, kHidRead's reply
    std::size_t returned = 0;        // kDriverIoctl
    bool ok = false;                 // kDriverIoctl, kHidAttributes; kStart: the force box
    Transfer transfer = Transfer::kCompleted;  // kHidWrite, kHidRead
    std::uint32_t ms = 0;                      // the bound of a transfer; a sleep's length
    std::size_t index = 0;                     // kHidPath
    std::optional<int> path;   // kHidPath (none past the last), kHidOpen, kHidInspect
    HidAttributes attributes;  // kHidAttributes, kHidInspect
    std::uint64_t t_ms = 0;    // the session's time once the call had returned

    // The arguments only: what the program chose, as opposed to what the trace answered.
    bool SameArguments(const Call& other) const;
};

// A call of that kind on that handle, its other fields still to fill in.
inline Call Made(CallKind kind, int handle) {
    Call call;
    call.kind = kind;
    call.handle = handle;
    return call;
}

// What the first line tells. Nothing about the person or the machine beyond the system's name.
struct Header {
    std::string program;          // "qvt-update", "QvtUpdate.exe"
    std::string program_version;  // "3.10": a trace from another one replays leniently
    std::string build;            // the commit the program was built from
    std::string system;           // "Linux", "Windows"
    bool driver = false;          // whether the maker's driver is present
    std::string image_sha256;     // the image the program carries
    std::string start_utc;        // "2026-12-08T07:30:01Z"
    // How the session was driven: "window", "console", "json" or "station"; the force option
    // and a station's number of units, as given.
    std::string front_end = "console";
    bool force = false;
    std::optional<int> units;
};

// The last line: how the session ended, in the words of the record's last line, and its exit
// status where the front end has one. `cut`: the recorder stopped at kMaxCalls.
struct End {
    std::string outcome;
    std::optional<int> status;
    bool cut = false;
};

struct Trace {
    Header header;
    std::vector<Call> calls;         // a run of sleeps as one call each
    std::vector<std::size_t> lines;  // each call's line in the file, from 1
    End end;
};

// "2026-12-08T07:30:01Z", now.
std::string UtcNow();

}  // namespace qvt::trace
