#pragma once

#include <cctype>
#include <optional>
#include <string_view>

namespace qvt::testing {

// What follows a leading "YYYY-MM-DD HH:MM:SS.mmm " time stamp, or nothing when the line has
// none. (Checked by hand: std::regex costs a test file seconds of compile time.)
inline std::optional<std::string_view> AfterTimeStamp(std::string_view line) {
    constexpr std::string_view kShape = "0000-00-00 00:00:00.000 ";
    if (line.size() < kShape.size()) return std::nullopt;
    for (std::size_t i = 0; i < kShape.size(); ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(line[i])) != 0;
        if (kShape[i] == '0' ? !digit : line[i] != kShape[i]) return std::nullopt;
    }
    return line.substr(kShape.size());
}

}  // namespace qvt::testing
