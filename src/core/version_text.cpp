#include "version_text.h"

#include <cstdio>

namespace qvt {
namespace {
std::optional<unsigned> HexValue(std::string_view digits) {
    if (digits.empty() || digits.size() > 2) return std::nullopt;
    unsigned value = 0;
    for (char c : digits) {
        value <<= 4;
        if (c >= '0' && c <= '9')
            value |= static_cast<unsigned>(c - '0');
        else if (c >= 'A' && c <= 'F')
            value |= static_cast<unsigned>(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f')
            value |= static_cast<unsigned>(c - 'a' + 10);
        else
            return std::nullopt;
    }
    return value;
}
}  // namespace

std::string FormatVersion(std::uint16_t version) {
    char text[8];
    std::snprintf(text, sizeof text, "%X.%02X", version >> 8, version & 0xFF);
    return text;
}

std::optional<std::uint16_t> ParseVersion(std::string_view text) {
    const auto dot = text.find('.');
    if (dot == std::string_view::npos) return std::nullopt;
    const auto major = HexValue(text.substr(0, dot));
    const auto minor_text = text.substr(dot + 1);
    if (minor_text.size() != 2) return std::nullopt;
    const auto minor = HexValue(minor_text);
    if (!major || !minor) return std::nullopt;
    return static_cast<std::uint16_t>((*major << 8) | *minor);
}

}  // namespace qvt
