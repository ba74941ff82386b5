// Session end: a close, a shutdown and a log-off are refused while an update runs, since a unit
// left half-flashed cannot start. A close is refused in a box that does not hold the run; a
// shutdown or log-off, by the window's answer and the block reason the shutdown screen shows.
#include "win32_session_end.h"

#include "system_libraries.h"
#include "texts.h"
#include "wide_text.h"
#include "win32_window_view.h"

namespace qvt::win32 {
namespace {

// How long the closing of a box still shown is waited for, in rounds of 50 ms.
constexpr int kCloseRounds = 100;

BOOL CALLBACK FindBox(HWND hwnd, LPARAM found) {
    wchar_t name[16] = L"";
    GetClassNameW(hwnd, name, 16);
    if (std::wstring_view(name) != L"#32770") return TRUE;
    *reinterpret_cast<HWND*>(found) = hwnd;
    return FALSE;
}

}  // namespace

RefusalBox::~RefusalBox() {
    for (int round = 0; round < kCloseRounds && Shown(); ++round) {
        if (HWND box = Window()) PostMessageW(box, WM_COMMAND, IDOK, 0);
        WaitForSingleObject(thread_.get(), 50);
    }
}

bool RefusalBox::Shown() const {
    return thread_ && WaitForSingleObject(thread_.get(), 0) == WAIT_TIMEOUT;
}

HWND RefusalBox::Window() const {
    HWND found = nullptr;
    if (Shown()) EnumThreadWindows(thread_id_, FindBox, reinterpret_cast<LPARAM>(&found));
    return found;
}

void RefusalBox::Show(std::string_view text) {
    if (Shown()) {
        if (HWND box = Window()) {
            SetWindowPos(box, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            SetForegroundWindow(box);
        }
        return;
    }
    text_ = Widen(text);
    title_ = Widen(text::kTitle);
    // Without a thread the box is not shown: better unsaid than a flash held until an answer.
    thread_.reset(CreateThread(nullptr, 0, Run, this, 0, &thread_id_));
}

DWORD WINAPI RefusalBox::Run(void* self) {
    const auto* box = static_cast<const RefusalBox*>(self);
    MessageBoxW(nullptr, box->text_.c_str(), box->title_.c_str(), MB_OK | MB_SETFOREGROUND);
    return 0;
}

void Win32WindowView::ShowModalBox(std::string_view text) {
    if (modal_handler_) {
        modal_handler_(text);
        return;
    }
    refusal_box_.Show(text);
}

bool Win32WindowView::MayClose() {
    return !form_ || form_->FormClose();  // refused, with its box, while an update runs
}

bool Win32WindowView::MaySessionEnd() const {
    // Refused like a close; the block reason tells the person why.
    return !busy_;
}

void Win32WindowView::SetBusy(bool busy) {
    busy_ = busy;
    // Looked up at run time, like every function the oldest supported Windows may lack.
    const auto create = Optional().ShutdownBlockReasonCreate;
    const auto destroy = Optional().ShutdownBlockReasonDestroy;
    if (!hwnd_) return;
    if (busy && create) create(hwnd_, Widen(text::kCloseWhileBusy).c_str());
    if (!busy && destroy) destroy(hwnd_);
    // A run has ended: the focus goes where it goes when the window opens.
    if (!busy) FocusFirstEnabled();
}

}  // namespace qvt::win32
