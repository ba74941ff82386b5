#pragma once

#include <optional>
#include <string>

#include "options.h"
#include "result.h"

namespace qvt::linux_app {

// What main makes sure of before it opens, truncates or shows anything.

// Descriptors 0, 1 and 2 that the caller left closed are opened on /dev/null, so that no file
// the program opens later becomes its standard output by accident.
void MakeStandardDescriptorsValid();

// Whether the window can be shown. Qt ends the process (an abort, and lines of its own) when no
// platform it tries can start, so the platforms it would try are tried first, in its order: the
// display named by DISPLAY or WAYLAND_DISPLAY must answer, and a platform that QT_QPA_PLATFORM
// names must be there. The first that passes is the one Qt is told to use; otherwise the reason
// the first one failed.
Result<void> CheckDisplay();

}  // namespace qvt::linux_app
