#pragma once

#include <string>
#include <string_view>

namespace qvt::win32 {

// The core speaks UTF-8; every Windows call here takes UTF-16, so the Japanese texts show on
// any system locale.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

}  // namespace qvt::win32
