#include "utf8.h"

namespace qvt {

std::size_t Utf8SequenceAt(std::string_view text, std::size_t at, std::uint32_t& code) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    std::uint32_t least = 0;
    if (lead < 0x80) return code = lead, 1;
    if ((lead & 0xE0) == 0xC0) length = 2, code = lead & 0x1F, least = 0x80;
    if ((lead & 0xF0) == 0xE0) length = 3, code = lead & 0x0F, least = 0x800;
    if ((lead & 0xF8) == 0xF0) length = 4, code = lead & 0x07, least = 0x10000;
    if (length == 0 || at + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

bool IsUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        std::uint32_t code = 0;
        const std::size_t length = Utf8SequenceAt(text, at, code);
        if (length == 0) return false;
        at += length;
    }
    return true;
}

}  // namespace qvt
