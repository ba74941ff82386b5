#include "terminal_text.h"

#include <array>
#include <cstdint>
#include <cstdio>

#include "utf8.h"

namespace qvt::linux_app {
namespace {

std::string Escaped(std::uint32_t code) {
    std::array<char, 8> text{};
    std::snprintf(text.data(), text.size(), "\\u%04x", static_cast<unsigned>(code));
    return text.data();
}

}  // namespace

std::string ForTerminal(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        std::uint32_t code = 0;
        const std::size_t length = Utf8SequenceAt(text, at, code);
        if (length == 0) {
            shown += "\xEF\xBF\xBD";  // U+FFFD for one byte that is not UTF-8
            ++at;
            continue;
        }
        if (code < 0x20 || (code >= 0x7F && code <= 0x9F)) {
            shown += Escaped(code);
        } else {
            shown.append(text.substr(at, length));
        }
        at += length;
    }
    return shown;
}

}  // namespace qvt::linux_app
