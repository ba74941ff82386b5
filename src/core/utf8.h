#pragma once

// Standard C++ only, like the rest of the core.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qvt {

// The length of the well-formed UTF-8 sequence at `at` in `text`, and its code point in `code`;
// 0 when there is none: a stray continuation byte, a cut sequence, an overlong form, a
// surrogate, or a code point past U+10FFFF. Each of these is a way to smuggle a byte past a
// check that reads only lead and continuation bytes.
std::size_t Utf8SequenceAt(std::string_view text, std::size_t at, std::uint32_t& code);

// Whether all of `text` is well-formed UTF-8.
bool IsUtf8(std::string_view text);

}  // namespace qvt
