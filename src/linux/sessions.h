#pragma once

#include <ostream>

#include "backend.h"
#include "options.h"

namespace qvt::linux_app {

// A whole session of the program, from window creation to close; returns the exit status.
int RunConsole(const Options& options, Backend& backend, std::ostream& out, std::ostream& errors);
int RunWindow(int& argc, char** argv, const Options& options, Backend& backend);

}  // namespace qvt::linux_app
