// The completion rule as a table: what a run knows, the bench now, and the verdict.
#include "custody.h"

#include <gtest/gtest.h>

#include <vector>

namespace qvt {
namespace {

constexpr std::uint16_t kImage = 0x0310;
constexpr VersionReading kUnread = std::nullopt;

BenchLook App(std::vector<VersionReading> app, std::int32_t boot_loaders = 0) {
    return {std::move(app), true, boot_loaders, true};
}
BenchLook BootLoaders(std::int32_t count) {
    return {{}, false, count, true};
}
BenchLook WithoutDriver(std::int32_t boot_loaders) {
    return {{}, true, boot_loaders, false};
}

struct Row {
    const char* what;
    Flash flash;
    Handover::At at;
    bool accepted;
    BenchLook at_handover;         // the bench the moment the units left the program's hands
    std::vector<BenchLook> since;  // looks after it
    BenchLook now;
    Occasion occasion;
    std::uint64_t elapsed_ms;  // since the handover
    bool request_due;
    Verdict expected;
};

using K = Verdict::Kind;
using R = Verdict::Reason;
constexpr auto kWait = Occasion::kReturnWait;
constexpr auto kRestart = Occasion::kRestartCheck;
constexpr auto kSearch = Occasion::kBootLoaderWait;
constexpr auto kReset = Handover::At::kReset;
constexpr auto kEnd = Handover::At::kProgramEnd;
constexpr auto kNoHandover = Handover::At::kNone;
constexpr std::uint64_t kSoon = 10'000;
constexpr std::uint64_t kLate = 300'000;

// clang-format off
const Row kRows[] = {
    // Nothing of this program's is on its way: one unit is current only by a version read.
    {"a current unit it never flashed", Flash::kUntouched, kNoHandover, true, {}, {},
     App({0x0310}), kRestart, 0, false, {K::kCurrent}},
    {"a unit whose version does not read", Flash::kUntouched, kNoHandover, true, {}, {},
     App({kUnread}), kRestart, 0, false, {K::kVersionUnread}},
    {"a current unit the force box asks to switch", Flash::kUntouched, kNoHandover, true, {}, {},
     App({0x0310}), kRestart, 0, true, {}},
    {"an outdated unit", Flash::kUntouched, kNoHandover, true, {}, {},
     App({0x0300}), kRestart, 0, false, {}},
    {"two units", Flash::kUntouched, kNoHandover, true, {}, {},
     App({0x0310, 0x0310}), kRestart, 0, false, {}},
    {"a verification that disproved the flash", Flash::kDisproved, kEnd, true, App({}), {},
     App({0x0310}), kRestart, kLate, false, {K::kCurrent}},
    // The flashed unit back.
    {"the reset unit back current", Flash::kVerified, kReset, true, App({}), {},
     App({0x0310}), kWait, kSoon, false, {K::kCompleted, R::kBackCurrent}},
    {"back newer than the image", Flash::kVerified, kReset, true, App({}), {},
     App({0x0311}), kWait, kSoon, false, {K::kCompleted, R::kBackCurrent}},
    {"back with its old version", Flash::kVerified, kReset, true, App({}), {},
     App({0x0300}), kWait, kSoon, false, {}},
    {"back, its version unread, verified", Flash::kVerified, kReset, true, App({}), {},
     App({kUnread}), kWait, kSoon, false, {K::kCompleted, R::kBackUnread}},
    {"back on its own, its version unread, never verified", Flash::kProgrammed, kEnd, true,
     App({}), {}, App({kUnread}), kSearch, kSoon, false, {}},
    {"back on its own after its programming", Flash::kProgrammed, kEnd, true, App({}), {},
     App({0x0310}), kSearch, kSoon, false, {K::kCompleted, R::kBackCurrent}},
    {"a boot loader beside it", Flash::kVerified, kReset, true, App({}), {},
     App({0x0310}, 1), kWait, kSoon, false, {}},
    // Units beside it: the ones there at the handover are others, never more than a look saw.
    {"a current bystander, the reset unit still away", Flash::kVerified, kReset, true,
     App({0x0310}), {}, App({0x0310}), kWait, kSoon, false, {}},
    {"a current bystander and the reset unit back", Flash::kVerified, kReset, true,
     App({0x0310}), {}, App({0x0310, 0x0310}), kWait, kSoon, false, {K::kCompleted, R::kBackCurrent}},
    {"an outdated bystander beside the unit back", Flash::kVerified, kReset, true,
     App({0x0300}), {App({0x0300})}, App({0x0300, 0x0310}), kWait, kSoon, false,
     {K::kCompleted, R::kBackCurrent}},
    {"the bystander gone, then the unit back", Flash::kVerified, kReset, true,
     App({0x0310}), {App({})}, App({0x0310}), kWait, kSoon, false, {K::kCompleted, R::kBackCurrent}},
    {"two current units plugged in after the reset", Flash::kVerified, kReset, true, App({}), {},
     App({0x0310, 0x0310}), kWait, kSoon, false, {}},
    {"an outdated unit plugged in after the reset", Flash::kVerified, kReset, true, App({}), {},
     App({0x0300, 0x0310}), kWait, kSoon, false, {}},
    // A later click after the whole bound, the bystander alone or the unit back unseen: one
    // current unit, refused as current rather than waited for.
    {"after the bound, one current unit no look gives to it", Flash::kVerified, kReset, true,
     App({0x0310}), {App({0x0310})}, App({0x0310}), kRestart, kLate, false, {K::kCurrent}},
    {"before the bound, the same", Flash::kVerified, kReset, true,
     App({0x0310}), {}, App({0x0310}), kRestart, kSoon, false, {}},
    // A refused reset: a boot loader that never left ends the wait.
    {"a refused reset, the boot loader still there", Flash::kVerified, kReset, false,
     App({}), {BootLoaders(1)}, BootLoaders(1), kWait, kSoon, false,
     {K::kFailed, R::kResetNotTaken}},
    {"a refused reset, the boot loader gone and back", Flash::kVerified, kReset, false,
     App({}), {App({}), BootLoaders(1)}, BootLoaders(1), kWait, kSoon, false, {}},
    {"a refused reset, the unit back current", Flash::kVerified, kReset, false, App({}), {},
     App({0x0310}), kWait, kSoon, false, {K::kCompleted, R::kBackCurrent}},
    // Without the driver: no boot loader for the whole bound after a verified, accepted reset.
    {"without the driver, gone for the whole bound", Flash::kVerified, kReset, true,
     WithoutDriver(0), {WithoutDriver(0)}, WithoutDriver(0), kWait, 200'000, false,
     {K::kCompleted, R::kBootLoaderGone}},
    {"without the driver, gone for less", Flash::kVerified, kReset, true,
     WithoutDriver(0), {WithoutDriver(0)}, WithoutDriver(0), kWait, 199'999, false, {}},
    {"without the driver, a boot loader back", Flash::kVerified, kReset, true,
     WithoutDriver(0), {WithoutDriver(0), WithoutDriver(1)}, WithoutDriver(0), kWait, 200'000,
     false, {K::kFailed, R::kBootLoaderBack}},
    {"without the driver, a refused reset", Flash::kVerified, kReset, false,
     WithoutDriver(0), {WithoutDriver(0)}, WithoutDriver(0), kWait, 200'000, false, {}},
    {"without the driver, never verified", Flash::kProgrammed, kReset, true,
     WithoutDriver(0), {WithoutDriver(0)}, WithoutDriver(0), kWait, 200'000, false, {}},
};
// clang-format on

TEST(Custody, EveryRowGivesItsVerdict) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.what);
        Custody facts;
        facts.start = {0, 1};
        facts.flash = row.flash;
        if (row.at != kNoHandover) {
            facts.HandOver(row.at, 1, row.at_handover, 1000);
            facts.handover.accepted = row.accepted;
        }
        for (const BenchLook& look : row.since) facts.Saw(look);
        facts.Saw(row.now);
        const Verdict verdict =
            Judge(facts, row.now, row.occasion, kImage, 1000 + row.elapsed_ms, row.request_due);
        EXPECT_EQ(verdict.kind, row.expected.kind);
        EXPECT_EQ(verdict.reason, row.expected.reason);
    }
}

// An erase that reached a boot loader, or a programming that never ended, leaves nothing on
// its way back: whatever comes back is not known to hold the image.
TEST(Custody, NothingIsPendingWithoutAnEndedProgramming) {
    for (const Flash flash : {Flash::kUntouched, Flash::kErased, Flash::kDisproved}) {
        Custody facts;
        facts.flash = flash;
        facts.HandOver(Handover::At::kReset, 1, App({}), 0);
        EXPECT_FALSE(facts.Pending());
        EXPECT_NE(Judge(facts, App({0x0310}), kWait, kImage, 1000, false).kind, K::kCompleted);
    }
}

}  // namespace
}  // namespace qvt
