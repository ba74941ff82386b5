#include "window_metrics.h"

#include "system_libraries.h"

namespace qvt::win32 {
namespace {

constexpr wchar_t kFontFace[] = L"ＭＳ Ｐゴシック";

}  // namespace

int Scale(int value, UINT dpi) {
    return MulDiv(value, static_cast<int>(dpi), 96);
}

HFONT MakeFont(int height, bool bold, UINT dpi) {
    // Windows substitutes a Japanese Gothic where the face itself is missing.
    return CreateFontW(Scale(height, dpi), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                       SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, kFontFace);
}

UINT DpiOf(HWND hwnd) {
    if (const auto get_dpi = Optional().GetDpiForWindow) {
        if (const UINT dpi = get_dpi(hwnd)) return dpi;
    }
    HDC dc = GetDC(hwnd);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(hwnd, dc);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

RECT WindowRectForClient(int width, int height, UINT dpi) {
    RECT rect{0, 0, width, height};
    if (const auto adjust_for_dpi = Optional().AdjustWindowRectExForDpi) {
        adjust_for_dpi(&rect, kWindowStyle, FALSE, kWindowExStyle, dpi);
    } else {
        AdjustWindowRectEx(&rect, kWindowStyle, FALSE, kWindowExStyle);
    }
    return rect;
}

}  // namespace qvt::win32
