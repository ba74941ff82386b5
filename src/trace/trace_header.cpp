#include "trace_header.h"

#include "build_id.h"
#include "texts.h"
#include "trace_lines.h"

namespace qvt::trace {

Header NewHeader(std::string program, std::string system, const AppDriver& driver,
                 ImageResource& resource) {
    Header header;
    header.program = std::move(program);
    header.program_version = std::string(text::kProgramVersion);
    header.build = QVT_BUILD_ID;
    header.system = std::move(system);
    header.driver = driver.Present();
    if (const auto digest = resource.LoadDigest()) header.image_sha256 = Hex(*digest);
    header.start_utc = UtcNow();
    return header;
}

}  // namespace qvt::trace
