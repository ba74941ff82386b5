// clang-format off
#include <windows.h>
// clang-format on

#include "trace_file.h"

#include "trace.h"
#include "trace_lines.h"
#include "wide_text.h"

namespace qvt::win32 {
namespace {

std::string Reason(DWORD error) {
    wchar_t* words = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&words), 0, nullptr);
    std::wstring reason = length ? std::wstring(words, length) : std::wstring();
    if (words) LocalFree(words);
    while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r')) reason.pop_back();
    return reason.empty() ? "error " + std::to_string(error) : Narrow(reason);
}

}  // namespace

Result<CommandLine> ParseCommandLine(const wchar_t* line) {
    std::vector<std::wstring> arguments;
    for (const wchar_t* at = line ? line : L""; *at;) {
        while (*at == L' ' || *at == L'\t') ++at;
        if (!*at) break;
        std::wstring argument;
        bool quoted = false;
        for (; *at && (quoted || (*at != L' ' && *at != L'\t')); ++at) {
            if (*at == L'\\' && at[1] == L'"') {
                argument += L'"';
                ++at;
            } else if (*at == L'"') {
                quoted = !quoted;
            } else {
                argument += *at;
            }
        }
        arguments.push_back(std::move(argument));
    }
    CommandLine command;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] != L"--record") continue;
        if (command.record) return Result<CommandLine>::Failure("--record is given twice");
        // A value that looks like an option is a file name forgotten, not a file.
        if (i + 1 >= arguments.size() || arguments[i + 1].empty() ||
            arguments[i + 1].rfind(L"--", 0) == 0) {
            return Result<CommandLine>::Failure("--record needs a file");
        }
        command.record = arguments[++i];
    }
    return command;
}

Result<void> MayRecordTo(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return {};  // nothing there yet
    const std::string named = "the trace file " + Narrow(path);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return Result<void>::Failure(named + " is a directory");
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return Result<void>::Failure("cannot read " + named + ": " + Reason(GetLastError()));
    std::string head(trace::kMaxLineBytes, '\0');
    DWORD read = 0;
    if (!ReadFile(file.get(), head.data(), static_cast<DWORD>(head.size()), &read, nullptr)) {
        return Result<void>::Failure("cannot read " + named + ": " + Reason(GetLastError()));
    }
    head.resize(read);
    const auto end = head.find('\n');
    if (head.empty() || (end != std::string::npos && trace::IsTraceHeader(head.substr(0, end)))) {
        return {};
    }
    return Result<void>::Failure(named + " holds something else than a trace; it is left as it is");
}

Result<std::unique_ptr<TraceFile>> TraceFile::Open(const std::wstring& path) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return Result<std::unique_ptr<TraceFile>>::Failure(
            "cannot open the trace file " + Narrow(path) + ": " + Reason(GetLastError()));
    }
    return std::make_unique<TraceFile>(std::move(file), path);
}

Result<void> TraceFile::Write(std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        if (!WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                       nullptr)) {
            return Result<void>::Failure(Reason(GetLastError()));
        }
        if (written == 0) return Result<void>::Failure(Reason(ERROR_HANDLE_DISK_FULL));
        bytes.remove_prefix(written);
    }
    return {};
}

std::string TraceFile::Name() const {
    return "the trace file " + Narrow(path_);
}

}  // namespace qvt::win32
