#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "form_view.h"
#include "texts.h"

namespace qvt {

// One row of the start-up check's table: what the window shows for one situation on the bench.
// The status panel is always made visible.
struct StartupRow {
    std::string_view caption;
    std::optional<std::uint32_t> background;  // none: the panel keeps the one it has
    std::uint32_t text_color;
    std::string_view message;
    bool start_enabled;
    bool force_enabled;
};

inline constexpr StartupRow kRowCurrent = {text::kCaptionCurrent, color::kButtonFace,
                                           color::kGreen,         text::kMessageCurrent,
                                           false,                 true};
inline constexpr StartupRow kRowMissing = {text::kCaptionMissing, color::kButtonFace,
                                           color::kNavy,          text::kMessageMissing,
                                           false,                 false};
inline constexpr StartupRow kRowSeveral = {text::kCaptionSeveral, color::kButtonFace,
                                           color::kFuchsia,       text::kMessageSeveral,
                                           false,                 false};
inline constexpr StartupRow kRowNeeded = {
    text::kCaptionNeeded, std::nullopt, color::kRed, text::kMessageNeeded, true, false};

}  // namespace qvt
