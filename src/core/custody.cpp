#include "custody.h"

#include <algorithm>

namespace qvt {
namespace {

constexpr std::int32_t kUnread = -1;

std::int32_t ClassOf(const VersionReading& reading) {
    return reading ? *reading : kUnread;
}

std::map<std::int32_t, std::int32_t> CountsOf(const BenchLook& look) {
    std::map<std::int32_t, std::int32_t> counts;
    for (const VersionReading& reading : look.app) ++counts[ClassOf(reading)];
    return counts;
}

// The units in application mode that no look lets the program take for others than the
// flashed ones.
struct Beyond {
    std::int32_t units = 0;
    VersionReading first;     // the reading of the first of them
    bool all_current = true;  // each read a version no older than the image
    bool any_unread = false;
};

Beyond BeyondTheOthers(const Handover& handover, const BenchLook& now, std::uint16_t image) {
    Beyond beyond;
    for (const auto& [reading, count] : CountsOf(now)) {
        const auto others = handover.others.find(reading);
        const std::int32_t extra =
            count - (others == handover.others.end() ? 0 : std::min(count, others->second));
        if (extra == 0) continue;
        if (beyond.units == 0 && reading != kUnread)
            beyond.first = static_cast<std::uint16_t>(reading);
        beyond.units += extra;
        if (reading == kUnread) {
            beyond.any_unread = true;
        } else if (reading < image) {
            beyond.all_current = false;
        }
    }
    return beyond;
}

Verdict Of(Verdict::Kind kind, Verdict::Reason reason = Verdict::Reason::kNone) {
    return {kind, reason};
}

}  // namespace

void Custody::HandOver(Handover::At at, std::int32_t ours, const BenchLook& look,
                       std::uint64_t now_ms) {
    handover = Handover{};
    handover.at = at;
    handover.when_ms = now_ms;
    handover.ours = ours;
    handover.others = CountsOf(look);
}

void Custody::Saw(const BenchLook& look) {
    if (handover.at == Handover::At::kNone) return;
    (look.boot_loaders > 0 ? handover.boot_loader_seen : handover.boot_loader_left) = true;
    if (!look.app_counted) return;
    const auto counts = CountsOf(look);
    for (auto& [reading, others] : handover.others) {
        const auto now = counts.find(reading);
        others = std::min(others, now == counts.end() ? 0 : now->second);
    }
}

Verdict Judge(const Custody& facts, const BenchLook& now, Occasion occasion,
              std::uint16_t image_version, std::uint64_t now_ms, bool request_due) {
    using Kind = Verdict::Kind;
    using Reason = Verdict::Reason;
    const Handover& handover = facts.handover;
    const bool pending = facts.Pending();
    // As long as the program allows any unit to re-enumerate: a flashed unit that is sound has
    // come back by then, in one mode or the other.
    const bool bound_passed = pending && now_ms >= handover.when_ms + kReturnBoundMs;
    if (!now.driver) {
        // A unit in its application is never seen here: only a verified unit whose accepted
        // reset took its boot loader away for the whole bound is taken for back.
        if (!pending || facts.flash != Flash::kVerified || handover.at != Handover::At::kReset ||
            !handover.accepted) {
            return {};
        }
        if (handover.boot_loader_seen) {
            return occasion == Occasion::kReturnWait ? Of(Kind::kFailed, Reason::kBootLoaderBack)
                                                     : Verdict{};
        }
        if (handover.boot_loader_left && bound_passed && now.boot_loaders == 0) {
            return Of(Kind::kCompleted, Reason::kBootLoaderGone);
        }
        return {};
    }
    if (pending) {
        if (occasion == Occasion::kReturnWait && handover.at == Handover::At::kReset &&
            !handover.accepted && now.boot_loaders > 0 && !handover.boot_loader_left) {
            return Of(Kind::kFailed, Reason::kResetNotTaken);
        }
        if (now.boot_loaders != 0 || !now.app_counted) return {};
        // A verified unit back in its application runs the image whatever its version query
        // says; one whose verification never passed is only known current by its version.
        const bool unread_will_do = facts.flash == Flash::kVerified;
        const Beyond beyond = BeyondTheOthers(handover, now, image_version);
        if (beyond.units == handover.ours && beyond.all_current &&
            (unread_will_do || !beyond.any_unread)) {
            Verdict completed = Of(Kind::kCompleted,
                                   beyond.any_unread ? Reason::kBackUnread : Reason::kBackCurrent);
            completed.returned = beyond.first;
            return completed;
        }
        // A later click after the whole bound finds the bench as at the first Start, each unit
        // current, yet no look lets the program take one for the flashed unit: it may be the
        // flashed one (back in the very interval the bystander left) or the bystander (the
        // flashed one lost). Waiting for a boot loader would wait for nothing either way; the
        // click is refused as for a current unit, the force box offered.
        if (occasion == Occasion::kRestartCheck && bound_passed && !request_due &&
            now.OneUnitInItsApplication() && now.app_units() == facts.start.units() &&
            ReadAndAtLeast(now.app.front(), image_version)) {
            return Of(Kind::kCurrent);
        }
        return {};
    }
    if (occasion == Occasion::kRestartCheck && now.OneUnitInItsApplication() && !request_due) {
        if (ReadAndAtLeast(now.app.front(), image_version)) return Of(Kind::kCurrent);
        if (!now.app.front()) return Of(Kind::kVersionUnread);
    }
    return {};
}

const char* ReasonName(Verdict::Reason reason) {
    using Reason = Verdict::Reason;
    switch (reason) {
        case Reason::kNone:
            return "none";
        case Reason::kBackCurrent:
            return "the unit came back current";
        case Reason::kBackUnread:
            return "the unit came back; its version cannot be read";
        case Reason::kBootLoaderGone:
            return "the boot loader stayed away after the reset";
        case Reason::kResetNotTaken:
            return "the reset was refused and the boot loader is still there";
        case Reason::kBootLoaderBack:
            break;
    }
    return "a boot loader came back after the reset";
}

}  // namespace qvt
