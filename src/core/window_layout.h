#pragma once

#include <array>
#include <cstddef>

namespace qvt {

// The dialog as designed at 96 DPI; every platform view places its controls from this table.
inline constexpr int kClientWidth = 307;
inline constexpr int kClientHeight = 110;
inline constexpr int kProgressInitialMax = 13;

// The controls in creation order, which is also their tab order within each parent.
enum class Control { kPanel3, kProgBar1, kBtnStart, kCkUpdate, kPnlMsg1, kEdtMsg, kLog };

enum class ControlFont {
    kDialog,      // "ＭＳ Ｐゴシック", 12 pixels
    kDialogBold,  // the same, bold
    kStatus,      // 13 pixels, bold
};
inline constexpr int kDialogFontPixels = 12;
inline constexpr int kStatusFontPixels = 13;

struct ControlPlacement {
    Control control;
    bool in_panel;  // a child of Panel3 rather than of the window
    int left, top, width, height;
    ControlFont font;
};

inline constexpr std::array<ControlPlacement, 7> kControlPlacements{{
    {Control::kPanel3, false, 4, 4, 300, 53, ControlFont::kDialog},
    {Control::kProgBar1, true, 5, 28, 218, 20, ControlFont::kDialog},
    {Control::kBtnStart, true, 228, 4, 67, 45, ControlFont::kDialogBold},
    {Control::kCkUpdate, true, 5, 6, 220, 17, ControlFont::kDialog},
    // Lies exactly over the bar, which it hides while shown.
    {Control::kPnlMsg1, true, 5, 28, 218, 20, ControlFont::kStatus},
    {Control::kEdtMsg, false, 4, 58, 301, 49, ControlFont::kDialog},
    // Below the 110-pixel client area: it collects the diagnostic lines and is never seen.
    {Control::kLog, false, 4, 112, 300, 81, ControlFont::kDialog},
}};

constexpr const ControlPlacement& PlacementOf(Control control) {
    return kControlPlacements[static_cast<std::size_t>(control)];
}

}  // namespace qvt
