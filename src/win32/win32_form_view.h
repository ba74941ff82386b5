#pragma once

#include <windows.h>

#include <array>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "form_view.h"
#include "log_record.h"
#include "main_form.h"
#include "result.h"
#include "unique_handle.h"

namespace qvt::win32 {

// Control identifiers, in creation order from 100 on: clear of the dialog manager's own
// commands (IDOK 1, IDCANCEL 2, ...), which Enter and Esc send to the window.
inline constexpr int kFirstControlId = 100;
constexpr int ControlId(Control control) {
    return kFirstControlId + static_cast<int>(control);
}

inline constexpr UINT kPbmSetBarColor = 0x0409;
// The system menu's own commands: below 0xF000, low four bits clear.
inline constexpr UINT kCopyLogCommand = 0x0010;
inline constexpr UINT kSaveLogCommand = 0x0020;

// Whether the system's High Contrast setting is on.
bool SystemHighContrast();

// MainForm of class TMainForm, in plain Win32: a fixed dialog frame, client 307 x 110 at
// 96 DPI scaled for the monitor, the controls at their design places.
// Can: show every control as the product does (the bar's colour through its native message,
// the status panel's colours painted by the window), pump with the dialog manager's keys,
// refuse a close, a shutdown and a log-off while busy, offer the record in the system menu,
// keep its keys to Tab, Shift+Tab and space (Esc and Enter do nothing), tell a screen reader of
// each new status and message, and give way to the system's colours under High Contrast.
// Cannot: draw "ＭＳ Ｐゴシック" where it is not installed (the system substitutes a font), or
// keep the person from killing the process.
class Win32FormView final : public FormView {
  public:
    static bool RegisterClasses(HINSTANCE instance);

    Win32FormView(HINSTANCE instance, bool quit_on_destroy);
    ~Win32FormView() override;
    Win32FormView(const Win32FormView&) = delete;
    Win32FormView& operator=(const Win32FormView&) = delete;

    void Attach(MainForm& form) { form_ = &form; }
    // The log record, offered in the window's system menu; `outcome` tells how the session
    // stands when the record is taken.
    void AttachRecord(const LogRecord& record, std::function<std::string()> outcome) {
        record_ = &record;
        outcome_ = std::move(outcome);
    }
    std::wstring LogText() const;
    bool CopyLog();
    // Writes the record to `path` as UTF-8; the system's reason when it could not.
    Result<void> SaveLogTo(const std::wstring& path) const;
    // The save routine without its dialog: a save that fails says so, where and why, in a box.
    void SaveLogAs(const std::wstring& path);
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
    void ShowModalBox(std::string_view text) override;
    void SetBusy(bool busy) override;
    void ShowNotice(std::string_view line) override { AppendLog(line); }
    void Pump() override;

    // Start if it is enabled, otherwise the force box, otherwise the message: where the focus
    // is when the window opens, and after a run.
    void FocusFirstEnabled();
    // The status panel's text colour and background as painted: the run's, or under High
    // Contrast the system's.
    std::pair<COLORREF, COLORREF> StatusColours() const;
    // Whether High Contrast is on: the system's own answer, unless a test stands in for a
    // system that cannot turn it on (Wine keeps no SPI_SETHIGHCONTRAST). Looked at when the
    // window is made and whenever the system says its settings or colours changed.
    void AskHighContrastOf(std::function<bool()> query) { high_contrast_query_ = std::move(query); }

  private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    static LRESULT CALLBACK PanelProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT Handle(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    void CreateControls();
    void AddLogCommands();
    void SaveLog();
    void Layout(UINT dpi, const RECT* suggested);
    LRESULT ColorControl(HDC dc, HWND child);
    // Follows the system's High Contrast setting as it is now.
    void FollowContrast();

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
    const LogRecord* record_ = nullptr;
    std::function<std::string()> outcome_;
    std::function<void(std::string_view)> modal_handler_;
    std::exception_ptr pending_;
};

// A core colour (0x00BBGGRR or the button-face system colour) as a COLORREF.
COLORREF ToColorRef(std::uint32_t value);

}  // namespace qvt::win32
