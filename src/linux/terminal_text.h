#pragma once

#include <string>
#include <string_view>

namespace qvt::linux_app {

// A text for the terminal that may hold a name or a value the user gave (a file name, an
// option's value): every control character (C0, DEL, C1) is written as JSON writes it,
// "\u001b", and a byte that is not UTF-8 as U+FFFD, the way a scenario's own contents are
// quoted, so that nothing in it can move the cursor, retitle the terminal or answer back.
// Printable UTF-8, Japanese included, stays as it is.
std::string ForTerminal(std::string_view text);

}  // namespace qvt::linux_app
