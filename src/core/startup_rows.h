#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "texts.h"
#include "window_view.h"

namespace qvt {

// What the start-up check found on the bench, with the counts it found it by: the one value
// the window, the station and a check act on.
struct StartupFinding {
    enum class Situation : std::uint8_t {
        kCurrent,        // one unit in its application, its version read and current
        kVersionUnread,  // one unit in its application whose version does not read
        kMissing,
        kSeveral,
        kUpdateNeeded,  // one outdated unit in its application, or one boot loader
    };
    Situation situation = Situation::kMissing;
    std::int32_t app = 0;
    std::int32_t outdated = 0;
    std::int32_t boot = 0;
};

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

inline constexpr StartupRow kRowCurrent = {.caption = text::kCaptionCurrent,
                                           .background = color::kButtonFace,
                                           .text_color = color::kGreen,
                                           .message = text::kMessageCurrent,
                                           .start_enabled = false,
                                           .force_enabled = true};
// A unit whose version cannot be read keeps the current unit's controls (Start waits for the
// force box), but the texts say what was found: nobody read a version to call it current.
inline constexpr StartupRow kRowVersionUnread = {.caption = text::kCaptionVersionUnread,
                                                 .background = color::kButtonFace,
                                                 .text_color = color::kNavy,
                                                 .message = text::kMessageVersionUnread,
                                                 .start_enabled = false,
                                                 .force_enabled = true};
inline constexpr StartupRow kRowMissing = {.caption = text::kCaptionMissing,
                                           .background = color::kButtonFace,
                                           .text_color = color::kNavy,
                                           .message = text::kMessageMissing,
                                           .start_enabled = false,
                                           .force_enabled = false};
inline constexpr StartupRow kRowSeveral = {.caption = text::kCaptionSeveral,
                                           .background = color::kButtonFace,
                                           .text_color = color::kFuchsia,
                                           .message = text::kMessageSeveral,
                                           .start_enabled = false,
                                           .force_enabled = false};
// The panel keeps its background, as the product always did for an update that is needed.
inline constexpr StartupRow kRowNeeded = {.caption = text::kCaptionNeeded,
                                          .background = std::nullopt,
                                          .text_color = color::kRed,
                                          .message = text::kMessageNeeded,
                                          .start_enabled = true,
                                          .force_enabled = false};

}  // namespace qvt
