#pragma once

// Standard C++ only: this file belongs to the portable core.
#include <cstdint>
#include <optional>
#include <vector>

namespace qvt {

// A unit's version as a census read it: the word, or none when the query failed or brought
// less than the whole word.
using VersionReading = std::optional<std::uint16_t>;

// One look at the bench, taken fresh: the units that the maker's driver shows in application
// mode, each with its version reading, and every boot loader the search saw. The program tells
// units apart by nothing else.
struct BenchLook {
    std::vector<VersionReading> app;  // in the driver's order
    bool app_counted = true;          // false: this look did not ask the driver
    std::int32_t boot_loaders = 0;
    bool driver = true;  // application mode can be seen on this system at all

    std::int32_t app_units() const { return static_cast<std::int32_t>(app.size()); }
    // One unit in application mode and no boot loader: what the bench holds when a person has
    // put one unit on it.
    bool OneUnitInItsApplication() const {
        return app_counted && app.size() == 1 && boot_loaders == 0;
    }
};

// Whether a reading tells a version no older than `image`.
inline bool ReadAndAtLeast(const VersionReading& reading, std::uint16_t image) {
    return reading && *reading >= image;
}

}  // namespace qvt
