// The bar's tooltip: the phase under way and how long it has taken, the line its description
// gives a screen reader, shown to a person who rests the mouse on the bar. No line, no tip. The
// tip is a popup of its own: the window's layout is the same with it as without.
#include "win32_window_view.h"

namespace qvt::win32 {
namespace {

TTTOOLINFOW BarTool(HWND bar) {
    TTTOOLINFOW tool{};
    // The size every version of the common controls takes.
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = GetParent(bar);
    tool.uId = reinterpret_cast<UINT_PTR>(bar);
    return tool;
}

}  // namespace

void Win32WindowView::CreateBarTip() {
    // Owned by the window, which destroys it as it goes itself.
    bar_tip_ =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance_, nullptr);
    if (!bar_tip_) return;
    TTTOOLINFOW tool = BarTool(control(Control::kProgBar1));
    tool.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(bar_tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void Win32WindowView::ShowBarTip(const std::wstring& text) {
    if (!bar_tip_) return;
    TTTOOLINFOW tool = BarTool(control(Control::kProgBar1));
    tool.lpszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(bar_tip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    // A tip shown without a line would stay: it goes with the run's last phase.
    if (text.empty()) SendMessageW(bar_tip_, TTM_POP, 0, 0);
}

}  // namespace qvt::win32
