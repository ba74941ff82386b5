#pragma once

#include <string>

#include "app_driver.h"
#include "image_resource.h"
#include "trace.h"

namespace qvt::trace {

// A header for a session starting now: this program's version and build, the image the
// resource holds (its stored SHA-256; empty when it has none), whether the driver is there.
// `program` and `system` are the platform's to name; the front end's fields are left as they
// are for the session to fill.
Header NewHeader(std::string program, std::string system, const AppDriver& driver,
                 ImageResource& resource);

}  // namespace qvt::trace
