#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "embedded_image.h"
#include "fakes.h"
#include "product_table.h"
#include "recording_window_view.h"
#include "scenario.h"
#include "scenarios.h"
#include "simulated_world.h"
#include "synthetic_firmware.h"
#include "updater.h"
#include "virtual_clock.h"

namespace qvt {

// A click's outcome in a failed expectation: its kind, phase and cause in words.
inline void PrintTo(const RunOutcome& outcome, std::ostream* out) {
    static constexpr const char* kKinds[] = {"completed", "failed", "refused"};
    *out << kKinds[static_cast<int>(outcome.kind)] << " in " << PhaseName(outcome.phase)
         << ", cause " << static_cast<int>(outcome.cause) << ", refusal "
         << static_cast<int>(outcome.refusal);
}

}  // namespace qvt

namespace qvt::testing {

inline BytesResource ShippedResource() {
    EmbeddedImageResource shipped;
    const auto bytes = shipped.Load();
    const auto digest = shipped.LoadDigest();
    return BytesResource(std::vector<std::uint8_t>(bytes->begin(), bytes->end()),
                         std::vector<std::uint8_t>(digest->begin(), digest->end()));
}

inline sim::Scenario ScenarioFrom(std::string_view json) {
    auto result = sim::ParseScenario(json);
    if (!result) {
        ADD_FAILURE() << "scenario refused: " << result.error();
        return {};
    }
    return std::move(*result);
}

// A freshly started program with the simulated unit(s) behind it, in virtual time.
struct Rig {
    explicit Rig(sim::Scenario scenario = {}, AwakeHold* awake = nullptr)
        : world(clock, std::move(scenario)),
          updater(Ports{view,
                        clock,
                        world.driver(),
                        world.bus(),
                        resource,
                        ProductDescrambleTable(),
                        {},
                        awake}) {}
    explicit Rig(std::string_view json, AwakeHold* awake = nullptr)
        : Rig(ScenarioFrom(json), awake) {}

    // Creation with its start-up check, as the window's creation does it.
    Rig& Create() {
        updater.form.FormCreate();
        return *this;
    }
    Rig& Start() {
        updater.form.btnStartClick();
        return *this;
    }

    const WindowModel::Controls& controls() const { return updater.model.controls(); }
    const std::vector<std::string>& log() const { return updater.model.controls().log; }
    bool Logged(std::string_view line) const {
        return std::find(log().begin(), log().end(), line) != log().end();
    }
    long CountLogged(std::string_view line) const {
        return std::count(log().begin(), log().end(), line);
    }
    // True when the unit's application area holds exactly the shipped image.
    bool UnitHoldsImage(std::size_t unit = 0) const {
        const auto& flash = world.unit(unit).flash;
        const auto& image = updater.firmware.program;
        return std::equal(flash.begin() + 0x1100, flash.end(), image.begin() + 0x1100);
    }
    long Received(BootCommand command, std::size_t unit = 0) const {
        const auto& counts = world.unit(unit).reports_received;
        const auto found = counts.find(static_cast<std::uint8_t>(command));
        return found == counts.end() ? 0 : found->second;
    }
    long TotalReceived(std::size_t unit = 0) const {
        return unit < world.unit_count() ? world.unit(unit).total_received : 0;
    }

    sim::VirtualClock clock;
    sim::RecordingWindowView view;
    // The shipped image and digest, in a resource a test can change underneath the program.
    BytesResource resource = ShippedResource();
    sim::SimulatedWorld world;
    Updater updater;
};

inline constexpr std::string_view kOneCurrentUnit =
    R"({"units": [{"mode": "application", "version": "3.10"}]})";

}  // namespace qvt::testing
