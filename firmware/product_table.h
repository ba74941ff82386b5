#pragma once

#include "firmware_layout.h"

namespace qvt {
// The descrambling table shipped with this build's image resource.
const DescrambleTable& ProductDescrambleTable();
}  // namespace qvt
