#pragma once

#include <optional>
#include <string>

#include "options.h"

namespace qvt::linux_app {

// What main makes sure of before it opens, truncates or shows anything.

// Descriptors 0, 1 and 2 that the caller left closed are opened on /dev/null, so that no file
// the program opens later becomes its standard output by accident.
void MakeStandardDescriptorsValid();

// Why `--log PATH` must not be opened for writing, or nothing: a directory, the scenario the
// session reads, the program itself, a FIFO that nobody reads.
std::optional<std::string> LogPathRefusal(const std::string& path, const Options& options);

// Why the window cannot be shown on this display, or nothing. Qt ends the process when its
// platform cannot start, so an X display that does not answer is found out first.
std::optional<std::string> DisplayProblem();

}  // namespace qvt::linux_app
