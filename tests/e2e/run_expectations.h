#pragma once

// What a whole run leaves on the window, checked the same way by every run test.
#include <gtest/gtest.h>

#include <algorithm>

#include "rig.h"
#include "texts.h"

namespace qvt::testing {

inline void ExpectCompleted(const Rig& rig, std::string_view caption) {
    const WindowModel::Controls& c = rig.controls();
    EXPECT_EQ(c.status.caption, caption);
    EXPECT_EQ(c.status.background, color::kGreen);
    EXPECT_EQ(c.status.text_color, color::kWhite);
    EXPECT_TRUE(c.status.visible);
    EXPECT_EQ(c.message, text::kMessageCompleted);
    EXPECT_FALSE(c.start_enabled);
    EXPECT_FALSE(c.force_enabled);
    EXPECT_FALSE(rig.updater.sequence.busy());
    EXPECT_EQ(rig.updater.sequence.update_state(), UpdateState::kIdle);
    EXPECT_EQ(rig.world.open_handles(), 0);
    // The view was told the same as the kept copy.
    EXPECT_EQ(rig.view.statuses.back(), c.status);
    EXPECT_FALSE(rig.view.start_enabled);
}

// `failed_in`: the phase whose failure ended the last run, as the click returned it.
inline void ExpectFailedRun(const Rig& rig, int failed_runs, Phase failed_in) {
    const WindowModel::Controls& c = rig.controls();
    EXPECT_EQ(c.message, text::kMessageRunFailed);
    EXPECT_TRUE(c.start_enabled);
    EXPECT_FALSE(c.force_enabled);
    EXPECT_FALSE(c.status.visible);
    EXPECT_FALSE(rig.updater.sequence.busy());
    ASSERT_TRUE(rig.updater.sequence.last_run());
    EXPECT_TRUE(rig.updater.sequence.last_run()->failed());
    EXPECT_EQ(rig.updater.sequence.last_run()->phase, failed_in);
    EXPECT_EQ(rig.updater.sequence.FailedRunCount(), failed_runs);
    EXPECT_EQ(rig.world.open_handles(), 0);
}

// Whether the message was shown, from the `from`th message on.
inline bool Shown(const Rig& rig, std::string_view message, std::size_t from = 0) {
    return std::find(rig.view.messages.begin() + static_cast<long>(from), rig.view.messages.end(),
                     message) != rig.view.messages.end();
}

}  // namespace qvt::testing
