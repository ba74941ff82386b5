// The log record in a person's hands: copied to the clipboard or saved where they choose.
// Nothing is written unless they ask.
// clang-format off
#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>
// clang-format on

#include <cstring>
#include <string>

#include "system_libraries.h"
#include "texts.h"
#include "unique_handle.h"
#include "wide_text.h"
#include "win32_window_view.h"

namespace qvt::win32 {
namespace {

struct GlobalTraits {
    using Handle = HGLOBAL;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle handle) { GlobalFree(handle); }
};
using UniqueGlobal = UniqueHandle<GlobalTraits>;

// The system's own words for an error, in its language, without the line break it ends with.
std::string SystemReason(DWORD error) {
    wchar_t* words = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&words), 0, nullptr);
    std::wstring reason = length ? std::wstring(words, length) : std::wstring();
    if (words) LocalFree(words);
    while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r')) reason.pop_back();
    if (reason.empty()) return "error " + std::to_string(error);
    return Narrow(reason);
}

UINT CommandOf(RecordOffer::Command command) {
    return command == RecordOffer::Command::kCopy ? kCopyLogCommand : kSaveLogCommand;
}

std::wstring DocumentsFolder() {
    const auto folder_path =
        SystemFunction<decltype(&SHGetFolderPathW)>(L"shell32.dll", "SHGetFolderPathW");
    wchar_t path[MAX_PATH] = L"";
    if (!folder_path || folder_path(nullptr, CSIDL_PERSONAL, nullptr, 0, path) != S_OK) return {};
    return path;
}

}  // namespace

void Win32WindowView::AddLogCommands() {
    HMENU menu = GetSystemMenu(hwnd_, FALSE);
    if (!menu) return;
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    for (const RecordOffer::Entry& entry : RecordOffer::kEntries) {
        AppendMenuW(menu, MF_STRING, CommandOf(entry.command), Widen(entry.caption).c_str());
    }
}

// A command of the system menu: the record's, run here; false for the system's own.
bool Win32WindowView::RunLogCommand(WPARAM command) {
    if ((command & 0xFFF0) == kCopyLogCommand) {
        CopyLog();
        return true;
    }
    if ((command & 0xFFF0) == kSaveLogCommand) {
        SaveLog();
        return true;
    }
    return false;
}

std::wstring Win32WindowView::LogText() const {
    return Widen(record_offer_.Text("\r\n"));
}

bool Win32WindowView::CopyLog() {
    const std::wstring text = LogText();
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    UniqueGlobal memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!memory) return false;
    void* locked = GlobalLock(memory.get());
    if (!locked) return false;
    std::memcpy(locked, text.c_str(), bytes);
    GlobalUnlock(memory.get());
    if (!OpenClipboard(hwnd_)) return false;
    EmptyClipboard();
    const bool placed = SetClipboardData(CF_UNICODETEXT, memory.get()) != nullptr;
    CloseClipboard();
    if (placed) memory.release();  // the clipboard owns it now
    return placed;
}

Result<void> Win32WindowView::SaveLogTo(const std::wstring& path) const {
    const std::string bytes = Narrow(LogText());  // UTF-8
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return Result<void>::Failure(SystemReason(GetLastError()));
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
        return Result<void>::Failure(SystemReason(GetLastError()));
    }
    if (written != bytes.size()) return Result<void>::Failure(SystemReason(ERROR_HANDLE_DISK_FULL));
    return {};
}

void Win32WindowView::SaveLogAs(const std::wstring& path) {
    const std::optional<std::string> said = RecordOffer::AfterSave(Narrow(path), SaveLogTo(path));
    if (!said) return;
    if (modal_handler_) {
        modal_handler_(*said);
        return;
    }
    MessageBoxW(hwnd_, Widen(*said).c_str(), Widen(text::kTitle).c_str(), MB_OK | MB_ICONWARNING);
}

void Win32WindowView::SaveLog() {
    const auto save_dialog =
        SystemFunction<decltype(&GetSaveFileNameW)>(L"comdlg32.dll", "GetSaveFileNameW");
    if (!save_dialog) return;
    wchar_t path[MAX_PATH] = L"";
    const std::wstring name = Widen(RecordOffer::ProposedName());
    wcsncpy(path, name.c_str(), MAX_PATH - 1);
    const std::wstring folder = DocumentsFolder();
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = hwnd_;
    dialog.lpstrFilter = L"Log (*.log)\0*.log\0All files (*.*)\0*.*\0";
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    dialog.lpstrDefExt = L"log";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (save_dialog(&dialog)) SaveLogAs(path);
}

}  // namespace qvt::win32
