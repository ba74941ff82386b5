#pragma once

#include <string_view>

namespace qvt::testing {

// The two units most tests start from.
inline constexpr std::string_view kOneOutdatedUnit =
    R"({"units": [{"mode": "application", "version": "3.00"}]})";
inline constexpr std::string_view kOneBootLoader = R"({"units": [{"mode": "boot"}]})";

}  // namespace qvt::testing
