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

// Whether the window can be shown on this display. Qt ends the process when its platform cannot
// start, so an X display that does not answer is found out first.
Result<void> CheckDisplay();

}  // namespace qvt::linux_app
