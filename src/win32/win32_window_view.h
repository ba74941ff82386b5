#pragma once

// The product's window in plain Win32. The class is one; its concerns each have a file:
//   win32_window_view.cpp    the view: the controls, their DPI layout, what they show
//   win32_keyboard.cpp       the keys: the dialog manager's; what Start and the message keep
//   win32_colours.cpp        the colours; the system's in their place under High Contrast
//   win32_accessibility.cpp  what a screen reader hears (MSAA notifications), and the bar's
//                            description (the phase under way and its time)
//   win32_tooltip.cpp        the bar's tooltip: the same line for the eye
//   win32_message_loop.cpp   the message loop, the window procedure, exceptions kept for it
//   win32_session_end.cpp    a close, a shutdown and a log-off refused during a run
//   win32_log_commands.cpp   the record in the system menu: copied or saved
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <array>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "com_object.h"
#include "main_form.h"
#include "result.h"
#include "unique_handle.h"
#include "win32_session_end.h"
#include "window_rules.h"
#include "window_view.h"

namespace qvt::win32 {

// Control identifiers, in creation order from 100 on: clear of the dialog manager's own
// commands (IDOK 1, IDCANCEL 2, ...), which Enter and Esc send to the window.
inline constexpr int kFirstControlId = 100;
constexpr int ControlId(Control control) {
    return kFirstControlId + static_cast<int>(control);
}

// The common controls the window is made of, for InitCommonControlsEx: the bar, the buttons,
// the edits and statics, and the bar's tooltip.
inline constexpr DWORD kCommonControlClasses =
    ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES;
inline constexpr UINT kPbmSetBarColor = 0x0409;
// The system menu's own commands: below 0xF000, low four bits clear.
inline constexpr UINT kCopyLogCommand = 0x0010;
inline constexpr UINT kSaveLogCommand = 0x0020;

// Whether the system's High Contrast setting is on.
bool SystemHighContrast();

// The product's window (window class TMainForm) in plain Win32: a fixed dialog frame, client
// 307 x 110 at 96 DPI scaled for the monitor, the controls at their design places.
//
// What a person gets, item by item as in the Qt window (src/linux/qt_window_view.h):
//   [x] every control at its design place, scaled for the screen
//   [x] the bar's colour and the status panel's colours
//   [x] the focus on Start, else the force box, else the message (FirstFocus), at opening and
//       after a run
//   [x] Tab and Shift+Tab round the enabled controls; Esc and Enter do nothing
//   [x] a close refused during a run, in a box that does not hold the run; one box at a time
//   [x] a shutdown or log-off refused during a run, with the reason shown
//   [ ] job control held during a run (Windows has none)
//   [x] the record offered, to copy or to save (RecordOffer), in the system menu
//   [x] a screen reader reads each control and hears each new status and message
//   [x] the phase under way and its time so far, as the bar's description and tooltip
//   [x] High Contrast: the system's colours in place of the product's
//   [ ] "ＭＳ Ｐゴシック" where it is not installed (the system substitutes a font)
//   [x] an exception inside a window message fails the run, not the program
// Cannot keep the person from killing the process.
class Win32WindowView final : public WindowView {
  public:
    static bool RegisterClasses(HINSTANCE instance);

    Win32WindowView(HINSTANCE instance, bool quit_on_destroy);
    ~Win32WindowView() override;
    Win32WindowView(const Win32WindowView&) = delete;
    Win32WindowView& operator=(const Win32WindowView&) = delete;

    void Attach(MainForm& form) { form_ = &form; }
    // The log record, offered in the window's system menu; `outcome` tells how the session
    // stands when the record is taken.
    void AttachRecord(const LogRecord& record, std::function<std::string()> outcome) {
        record_offer_.Attach(record, std::move(outcome));
    }
    std::wstring LogText() const;
    bool CopyLog();
    // Writes the record to `path` as UTF-8; the system's reason when it could not.
    Result<void> SaveLogTo(const std::wstring& path) const;
    // The save routine without its dialog: a save that fails says so, where and why, in a box.
    void SaveLogAs(const std::wstring& path);
    // Tests hear every box instead of a real one: the close refusal's and a failed save's.
    void SetModalBoxHandler(std::function<void(std::string_view)> handler) {
        modal_handler_ = std::move(handler);
    }
    HWND hwnd() const { return hwnd_; }
    HWND control(Control control) const;
    UINT dpi() const { return dpi_; }
    // An exception raised inside a window message, kept to be raised again by the message
    // loop: C++ exceptions must not unwind through Windows' own frames.
    std::exception_ptr TakePendingException() { return std::exchange(pending_, nullptr); }
    // The program's message loop, with the dialog manager's keys, until the window has gone;
    // an exception kept from a window message is raised again from here.
    void RunUntilClosed();

    void ShowMessage(std::string_view text) override;
    void ShowStatus(const StatusPanel& status) override;
    void AppendLog(std::string_view line) override;
    void ShowProgress(int position, int maximum) override;
    void ShowBarColor(std::uint32_t color) override;
    void EnableStart(bool enabled) override;
    void ShowForceBox(bool enabled, bool checked) override;
    // The close refusal's box, which does not wait for its answer: the run goes on behind it.
    void ShowModalBox(std::string_view text) override;
    void SetBusy(bool busy) override;
    void ShowNotice(std::string_view line) override { AppendLog(line); }
    // The bar's description and tooltip: the phase's line, or none once no phase is under way.
    void ShowPhaseTime(const PhaseClock& clock) override;
    void Pump() override;

    // The focus where FirstFocus puts it, from what the controls show now.
    void FocusFirstEnabled();
    // The status panel's text colour and background as painted: the run's, or under High
    // Contrast the system's.
    std::pair<COLORREF, COLORREF> StatusColours() const;
    // Whether High Contrast is on: the system's own answer, unless a test stands in for a
    // system that cannot turn it on (Wine keeps no SPI_SETHIGHCONTRAST). Looked at when the
    // window is made and whenever the system says its settings or colours changed.
    void AskHighContrastOf(std::function<bool()> query) { high_contrast_query_ = std::move(query); }

  private:
    // The message loop's (win32_message_loop.cpp).
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT Handle(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    // The view's.
    void CreateControls();
    void Layout(UINT dpi, const RECT* suggested);
    bool Clicked(WPARAM wparam);
    // The keyboard's.
    void KeepKeysToTheDialog();
    bool DialogKey(MSG& message);
    // The colours'.
    static LRESULT CALLBACK PanelProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT ColorControl(HDC dc, HWND child);
    void RenewStatusBrush();
    // Follows the system's High Contrast setting as it is now.
    void FollowContrast();
    // The accessibility notifications' and the bar's description.
    void AnnounceMessage();
    void AnnounceStatus();
    void AnswerForTheBar();
    void DescribeBar(const std::wstring& text);
    static LRESULT CALLBACK BarProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    // The tooltip's.
    void CreateBarTip();
    void ShowBarTip(const std::wstring& text);
    // Session end's: whether the window may close, or the session end, now.
    bool MayClose();
    bool MaySessionEnd() const;
    // The log commands'.
    void AddLogCommands();
    bool RunLogCommand(WPARAM command);
    void SaveLog();

    HINSTANCE instance_;
    bool quit_on_destroy_;
    HWND hwnd_ = nullptr;
    std::array<HWND, kControlPlacements.size()> controls_{};  // indexed by Control
    UINT dpi_ = 96;
    UniqueGdiObject font_, bold_font_, status_font_, status_brush_;
    StatusPanel status_;
    std::optional<std::uint32_t> bar_color_;
    bool high_contrast_ = false;
    std::function<bool()> high_contrast_query_ = SystemHighContrast;
    bool busy_ = false;
    MainForm* form_ = nullptr;
    RecordOffer record_offer_;
    std::function<void(std::string_view)> modal_handler_;
    RefusalBox refusal_box_;
    std::exception_ptr pending_;
    // The bar's tooltip, a popup the window owns and takes with it.
    HWND bar_tip_ = nullptr;
    // The bar's description, shared with every object a screen reader was given for it.
    std::shared_ptr<std::wstring> bar_description_ = std::make_shared<std::wstring>();
    // Joined at a screen reader's first question, so that its objects can be handed over; left
    // after the window has gone.
    std::optional<ComApartment> apartment_;
};

// A core colour (0x00BBGGRR or the button-face system colour) as a COLORREF.
COLORREF ToColorRef(std::uint32_t value);

}  // namespace qvt::win32
