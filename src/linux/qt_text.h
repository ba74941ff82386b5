#pragma once
// The core's texts are UTF-8 bytes; Qt's are UTF-16. The one conversion both Qt rooms use.
#include <QString>
#include <string_view>

namespace qvt::linux_app {

inline QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace qvt::linux_app
