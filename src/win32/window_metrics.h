#pragma once

#include <windows.h>

namespace qvt::win32 {

// The main window's frame: a fixed dialog frame with a caption and a system menu.
inline constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
inline constexpr DWORD kWindowExStyle = WS_EX_DLGMODALFRAME;

// A length at 96 DPI, at `dpi`.
int Scale(int value, UINT dpi);
// The dialog's typeface at a pixel height given at 96 DPI (negative: the character height).
HFONT MakeFont(int height, bool bold, UINT dpi);
// The window's DPI: its monitor's where the system tells it, the screen's otherwise.
UINT DpiOf(HWND hwnd);
// The window rectangle whose client area is `width` by `height` at `dpi`.
RECT WindowRectForClient(int width, int height, UINT dpi);

}  // namespace qvt::win32
